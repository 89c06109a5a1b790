#ifndef _WIN32
#error "the Win32 player's window"
#endif
// The Windows player's window: the engine's own top-level window (host::HostWindow as an
// application window), whose handle the plug-in gets through the window-handle adapter and
// draws into with GDI. There is nothing to present: the plug-in's BitBlt is the picture.
//
// pump() runs the thread's message loop without blocking: keys come as WM_KEYDOWN (virtual
// keys) and WM_CHAR ('[' and ']'), mapped once (win32_key_map.h); a change of the client
// area's size (the user's, or full screen's) comes back as one new size; the close button
// asks for the end of the run. Full screen saves the window's style and placement, makes it
// a popup covering its monitor (GetMonitorInfo), and later restores both. The window belongs
// to the thread that made it, the main thread.
#pragma once

#include <windows.h>

#include <string>

#include "player_window.h"

namespace play {

class Win32PlayerWindow final : public PlayerWindow {
 public:
  Win32PlayerWindow(int width, int height);

  host::HostWindow& surface() override { return surface_; }
  Events pump() override;
  void toggleFullScreen() override;
  std::string kind() const override { return "win32"; }
  std::string description() const override { return "Win32"; }

 private:
  HWND handle() const { return reinterpret_cast<HWND>(surface_.handle()); }

  host::HostWindow surface_;
  int32_t knownWidth_, knownHeight_;  // the size last handed on
  bool fullScreen_ = false;
  LONG savedStyle_ = 0;
  WINDOWPLACEMENT savedPlacement_ = {};
};

}  // namespace play
