#include "win32_player_window.h"

#include <ostream>
#include <stdexcept>

#include "win32_key_map.h"

namespace play {

Win32PlayerWindow::Win32PlayerWindow(int width, int height)
    : surface_(width, height, host::HostWindow::Style::kApplication),
      knownWidth_(surface_.width()),
      knownHeight_(surface_.height()) {
  SetWindowTextW(handle(), L"tavorin-play");
}

PlayerWindow::Events Win32PlayerWindow::pump() {
  Events events;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_KEYDOWN && message.hwnd == handle()) {
      PlayerKey key = playerKeyOfVirtualKey(message.wParam);
      if (key != PlayerKey::kNone) events.commands.push_back(commandForKey(key, GetKeyState(VK_SHIFT) < 0));
    } else if (message.message == WM_CHAR && message.hwnd == handle()) {
      PlayerKey key = playerKeyOfCharacter(message.wParam);
      if (key != PlayerKey::kNone) events.commands.push_back(commandForKey(key, false));
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  events.closeRequested = surface_.closeRequested();
  int32_t width = surface_.width(), height = surface_.height();
  // A minimised window keeps its size: nothing to draw into is not a new size.
  if ((width != knownWidth_ || height != knownHeight_) && width > 0 && height > 0) {
    knownWidth_ = width;
    knownHeight_ = height;
    events.resized = true;
    events.width = width;
    events.height = height;
  }
  return events;
}

void Win32PlayerWindow::toggleFullScreen() {
  HWND window = handle();
  if (!fullScreen_) {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    savedPlacement_.length = sizeof savedPlacement_;
    if (!GetWindowPlacement(window, &savedPlacement_) ||
        !GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
      return;
    }
    savedStyle_ = GetWindowLongW(window, GWL_STYLE);
    SetWindowLongW(window, GWL_STYLE, (savedStyle_ & ~WS_OVERLAPPEDWINDOW) | WS_POPUP);
    const RECT& area = monitor.rcMonitor;
    SetWindowPos(window, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOOWNERZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    fullScreen_ = true;
  } else {
    SetWindowLongW(window, GWL_STYLE, savedStyle_);
    SetWindowPlacement(window, &savedPlacement_);
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    fullScreen_ = false;
  }
}

std::unique_ptr<PlayerWindow> openPlayerWindow(int width, int height, std::ostream&, std::string* error) {
  try {
    return std::unique_ptr<PlayerWindow>(new Win32PlayerWindow(width, height));
  } catch (const std::exception& e) {
    *error = std::string("cannot open the window: ") + e.what();
    return nullptr;
  }
}

}  // namespace play
