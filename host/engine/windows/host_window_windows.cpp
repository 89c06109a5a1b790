#ifndef _WIN32
#error "Windows windows"
#endif
// A real top-level window: for the tests borderless, shown without activation, its client
// area at a known place on the screen; for an application (the player) a main window with a
// frame that the user can resize and close. The renderer draws into it through GetDC; the engine reads it back by
// copying the window DC into a memory bitmap and fetching that with GetDIBits. Drawing calls
// into the window are counted (engine/windows/drawing_counter.h).
//
// A window DC yields only what is visible of the window, so two windows must not overlap: the
// windows of one process are laid out side by side, and the processes sharing a display take
// turns. The first window of a process waits for a named mutex of the session and the last one
// gives it back; a helper thread owns the mutex, because a mutex belongs to a thread and
// windows may come and go on different ones. A process that dies leaves the mutex abandoned,
// which the next waiter takes over.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/host_window.h"
#include "engine/windows/drawing_counter.h"

namespace host {

namespace {

const wchar_t kClassName[] = L"TavorinHostWindow";
const wchar_t kScreenMutexName[] = L"Local\\TavorinHostWindowScreen";
// How long a window waits for another process's windows to go before drawing over them.
const DWORD kScreenWaitMs = 120000;

// Posted by a destructor running on another thread than the window's: the window's thread
// destroys it when it next pumps.
const UINT kDestroyLater = WM_APP + 1;

// What the window procedure of an application window keeps up to date (GWLP_USERDATA).
struct ApplicationState {
  std::mutex* lock;  // the HostWindow's size lock
  int32_t* width;
  int32_t* height;
  std::atomic<bool> closeRequested{false};
};

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ApplicationState* application = reinterpret_cast<ApplicationState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // the content is the renderer's; only resize() clears it
    case WM_PAINT:
      ValidateRect(window, nullptr);  // nothing to repaint: what was drawn stays
      return 0;
    case WM_MOUSEACTIVATE:
      if (application) break;
      return MA_NOACTIVATE;
    case WM_SIZE:
      if (application && wParam != SIZE_MINIMIZED) {
        std::lock_guard<std::mutex> hold(*application->lock);
        *application->width = LOWORD(lParam);
        *application->height = HIWORD(lParam);
      }
      break;
    case WM_CLOSE:
      if (!application) break;
      application->closeRequested.store(true);  // the owner ends the window, not the user
      return 0;
    case kDestroyLater:
      DestroyWindow(window);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// The outer size of a window whose client area is width x height, in its current style.
SIZE outerSize(HWND window, int32_t width, int32_t height) {
  RECT r = {0, 0, std::max<int32_t>(width, 1), std::max<int32_t>(height, 1)};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
  return SIZE{r.right - r.left, r.bottom - r.top};
}

void registerClassOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
      throw std::runtime_error("RegisterClassEx failed with error " + std::to_string(GetLastError()));
    }
  });
}

// The session-wide turn of this process on the display, held while it has windows.
class ScreenTurn {
 public:
  void enter() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (users_++ > 0) return;
    state_ = State::Waiting;
    owner_ = std::thread([this] { own(); });
    changed_.wait(lock, [this] { return state_ != State::Waiting; });
  }

  void leave() {
    std::thread owner;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (users_ == 0 || --users_ > 0) return;
      state_ = State::Leaving;
      owner.swap(owner_);
    }
    changed_.notify_all();
    owner.join();
  }

 private:
  enum class State { Idle, Waiting, Holding, Leaving };

  void own() {
    HANDLE screen = CreateMutexW(nullptr, FALSE, kScreenMutexName);
    // Without the mutex (or after the wait ran out) the windows are drawn anyway: a test may
    // then see another process's window, but nothing hangs.
    DWORD waited = screen ? WaitForSingleObject(screen, kScreenWaitMs) : WAIT_FAILED;
    bool owned = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    std::unique_lock<std::mutex> lock(mutex_);
    state_ = State::Holding;
    changed_.notify_all();
    changed_.wait(lock, [this] { return state_ == State::Leaving; });
    if (owned) ReleaseMutex(screen);
    if (screen) CloseHandle(screen);
    state_ = State::Idle;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  int users_ = 0;
  State state_ = State::Idle;
  std::thread owner_;
};

// Never destroyed: a window still open at exit must not take its turn down with it.
ScreenTurn& screenTurn() {
  static ScreenTurn* const turn = new ScreenTurn;
  return *turn;
}

// The places of this process's live windows, so that a new one goes beside them.
std::mutex g_placesLock;
std::vector<RECT> g_places;

RECT claimPlace(int32_t width, int32_t height) {
  std::lock_guard<std::mutex> lock(g_placesLock);
  LONG right = 0, bottom = 0;
  for (const RECT& place : g_places) {
    right = std::max(right, place.right);
    bottom = std::max(bottom, place.bottom);
  }
  RECT place = {right, 0, right + width, height};
  if (place.right > GetSystemMetrics(SM_CXSCREEN) && right > 0) place = {0, bottom, width, bottom + height};
  g_places.push_back(place);
  return place;
}

void releasePlace(const RECT& place) {
  std::lock_guard<std::mutex> lock(g_placesLock);
  for (auto it = g_places.begin(); it != g_places.end(); ++it) {
    if (EqualRect(&*it, &place)) {
      g_places.erase(it);
      return;
    }
  }
}

// Hands the window the messages waiting for it (the X11 driver's mapping, paint requests).
void pumpMessages(HWND window) {
  MSG message;
  while (PeekMessageW(&message, window, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void clearToBlack(HWND window, int32_t width, int32_t height) {
  HDC dc = GetDC(window);
  if (!dc) return;
  RECT all = {0, 0, width, height};
  windows::fillRectUncounted(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  ReleaseDC(window, dc);
  GdiFlush();
}

}  // namespace

struct HostWindow::Impl {
  HWND window = nullptr;
  RECT place = {};
  int32_t width = 0;
  int32_t height = 0;
  mutable std::mutex lock;  // width and height
  std::unique_ptr<ApplicationState> application;  // kApplication only
};

HostWindow::HostWindow(int32_t width, int32_t height, Style style) : impl_(new Impl) {
  impl_->width = width > 0 ? width : 0;
  impl_->height = height > 0 ? height : 0;
  try {
    registerClassOnce();
  } catch (...) {
    delete impl_;
    throw;
  }
  screenTurn().enter();
  const bool application = style == Style::kApplication;
  // WS_POPUP: no frame, so the window rectangle is the client area. A zero side is kept as
  // one pixel for the system; width() and height() still answer zero. An application window
  // gets the frame around the client area asked for.
  DWORD windowStyle = application ? WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS
                                  : WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  DWORD extendedStyle = application ? WS_EX_APPWINDOW : WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
  RECT outer = {0, 0, std::max<int32_t>(impl_->width, 1), std::max<int32_t>(impl_->height, 1)};
  AdjustWindowRectEx(&outer, windowStyle, FALSE, extendedStyle);
  impl_->place = claimPlace(outer.right - outer.left, outer.bottom - outer.top);
  impl_->window = CreateWindowExW(extendedStyle, kClassName, L"Tavorin", windowStyle, impl_->place.left,
                                  impl_->place.top, outer.right - outer.left, outer.bottom - outer.top, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!impl_->window) {
    DWORD error = GetLastError();
    releasePlace(impl_->place);
    screenTurn().leave();
    delete impl_;
    throw std::runtime_error("CreateWindowEx failed with error " + std::to_string(error));
  }
  // Drawings are counted when the program itself or a loaded plug-in gives the DC back.
  windows::countDrawingsOf(GetModuleHandleW(nullptr));
  windows::registerWindow(impl_->window);
  if (application) {
    impl_->application.reset(new ApplicationState{&impl_->lock, &impl_->width, &impl_->height});
    SetWindowLongPtrW(impl_->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl_->application.get()));
    ShowWindow(impl_->window, SW_SHOW);
    SetForegroundWindow(impl_->window);
  } else {
    ShowWindow(impl_->window, SW_SHOWNOACTIVATE);
  }
  UpdateWindow(impl_->window);
  pumpMessages(impl_->window);
  clearToBlack(impl_->window, impl_->width, impl_->height);
}

HostWindow::~HostWindow() {
  windows::unregisterWindow(impl_->window);
  // The window procedure lets go of the application state before it goes.
  SetWindowLongPtrW(impl_->window, GWLP_USERDATA, 0);
  if (!DestroyWindow(impl_->window)) {
    // Only the creating thread may destroy a window; its thread destroys it when it pumps.
    PostMessageW(impl_->window, kDestroyLater, 0, 0);
  }
  releasePlace(impl_->place);
  screenTurn().leave();
  delete impl_;
}

KMC::WindowHandle HostWindow::handle() const { return reinterpret_cast<KMC::WindowHandle>(impl_->window); }

int32_t HostWindow::width() const {
  std::lock_guard<std::mutex> lock(impl_->lock);
  return impl_->width;
}

int32_t HostWindow::height() const {
  std::lock_guard<std::mutex> lock(impl_->lock);
  return impl_->height;
}

void HostWindow::resize(int32_t width, int32_t height) {
  int32_t w = width > 0 ? width : 0;
  int32_t h = height > 0 ? height : 0;
  {
    std::lock_guard<std::mutex> lock(impl_->lock);
    impl_->width = w;
    impl_->height = h;
  }
  {
    std::lock_guard<std::mutex> lock(g_placesLock);
    for (RECT& place : g_places) {
      if (EqualRect(&place, &impl_->place)) {
        place.right = place.left + w;
        place.bottom = place.top + h;
        impl_->place = place;
        break;
      }
    }
  }
  SIZE outer = outerSize(impl_->window, w, h);
  SetWindowPos(impl_->window, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  {
    // The window procedure noted the client size the system gave; the size asked for holds.
    std::lock_guard<std::mutex> lock(impl_->lock);
    impl_->width = w;
    impl_->height = h;
  }
  pumpMessages(impl_->window);
  clearToBlack(impl_->window, w, h);
}

std::vector<uint32_t> HostWindow::readPixels(int32_t* width, int32_t* height) const {
  int32_t w = this->width();
  int32_t h = this->height();
  if (width) *width = w;
  if (height) *height = h;
  std::vector<uint32_t> out;
  if (w <= 0 || h <= 0) return out;
  GdiFlush();
  HDC windowDc = GetDC(impl_->window);
  if (!windowDc) return out;
  HDC memoryDc = CreateCompatibleDC(windowDc);
  HBITMAP bitmap = CreateCompatibleBitmap(windowDc, w, h);
  bool copied = false;
  if (memoryDc && bitmap) {
    HGDIOBJ previous = SelectObject(memoryDc, bitmap);
    copied = BitBlt(memoryDc, 0, 0, w, h, windowDc, 0, 0, SRCCOPY) != 0;
    SelectObject(memoryDc, previous);
  }
  if (copied) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    out.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    if (GetDIBits(memoryDc, bitmap, 0, static_cast<UINT>(h), out.data(), &info, DIB_RGB_COLORS) != h) out.clear();
  }
  if (bitmap) DeleteObject(bitmap);
  if (memoryDc) DeleteDC(memoryDc);
  ReleaseDC(impl_->window, windowDc);
  return out;
}

uint32_t HostWindow::pixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width() || y >= height()) return 0;
  GdiFlush();
  HDC dc = GetDC(impl_->window);
  if (!dc) return 0;
  COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(impl_->window, dc);
  if (colour == CLR_INVALID) return 0;
  return (static_cast<uint32_t>(GetRValue(colour)) << 16) | (static_cast<uint32_t>(GetGValue(colour)) << 8) |
         GetBValue(colour);
}

uint32_t HostWindow::generation() const { return windows::drawingsInto(impl_->window); }

bool HostWindow::closeRequested() const { return impl_->application && impl_->application->closeRequested.load(); }

bool HostWindow::lockPixels(const uint32_t** pixels, int32_t* width, int32_t* height) const {
  *pixels = nullptr;
  *width = 0;
  *height = 0;
  return false;  // the pixels live in the window system: readPixels copies them out
}

void HostWindow::unlockPixels() const {}

bool HostWindow::drawInto(uint32_t*, int32_t, int32_t) { return false; }

}  // namespace host
