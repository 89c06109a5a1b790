// A window the engine gives the renderer to draw into.
//
// On Windows it is a real window; elsewhere it is a pixel surface whose address serves as the
// window handle (the plug-in's drawing layer draws into it). Either way the engine can read
// back what was drawn, which is how composition is checked and snapshots are taken.
#pragma once

#include <cstdint>
#include <vector>

#include "abi/abi.h"

namespace host {

class HostWindow {
 public:
  // How the window is shown on Windows (elsewhere both are the same surface):
  // - kSurface: the tests' window, borderless, beside the process's other windows, never
  //   taking the keyboard;
  // - kApplication: an application's main window, with caption, frame and sizing border,
  //   taking the keyboard. The user may resize it (width() and height() follow the client
  //   area) and close it (closeRequested(); the window stays until its owner ends it).
  enum class Style { kSurface, kApplication };

  HostWindow(int32_t width, int32_t height, Style style = Style::kSurface);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  KMC::WindowHandle handle() const;
  int32_t width() const;
  int32_t height() const;
  // New client size; the content is cleared to black. The window keeps pixels of its own again.
  void resize(int32_t width, int32_t height);
  // Makes the window's client area the memory at `pixels` (width x height 32-bit pixels, top row
  // first, no padding), which the caller keeps alive until the next drawInto or resize or the
  // window's end. A presenter hands in its image this way, so what the renderer copies into the
  // window is already what the presenter shows. The content is whatever that memory holds.
  // Answers false where the window system keeps the pixels (Windows): nothing changes then.
  bool drawInto(uint32_t* pixels, int32_t width, int32_t height);
  // The client area as 32-bit pixels, top row first (the fourth byte is not defined).
  std::vector<uint32_t> readPixels(int32_t* width, int32_t* height) const;
  // Colour bytes (0x00RRGGBB) of one pixel; 0 outside.
  uint32_t pixel(int32_t x, int32_t y) const;
  // Counts drawings into the window (0 where the platform cannot tell).
  uint32_t generation() const;
  // The user asked to close the window (kApplication on Windows; false elsewhere).
  bool closeRequested() const;

  // Calls visit(pixels, width, height) with the surface locked, so a presenter can copy it
  // out without a second buffer. Not available on every platform: answers false then.
  template <typename Visit>
  bool withPixels(Visit visit) const {
    const uint32_t* pixels = nullptr;
    int32_t w = 0, h = 0;
    if (!lockPixels(&pixels, &w, &h)) return false;
    visit(pixels, w, h);
    unlockPixels();
    return true;
  }

 private:
  bool lockPixels(const uint32_t** pixels, int32_t* width, int32_t* height) const;
  void unlockPixels() const;
  struct Impl;
  Impl* impl_;
};

}  // namespace host
