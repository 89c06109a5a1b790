#include "gdi/back_buffer.h"

#include "gdi/drawing_area.h"

namespace KMC {

bool BackBuffer::begin(HDC window, const DrawingArea& area, HBRUSH black) {
  active_ = false;
  if (!buffer_.exists() || window != madeFor_ || width_ != area.bufferWidth() || height_ != area.bufferHeight()) {
    release();
    if (!buffer_.makeCompatible(window, area.bufferWidth(), area.bufferHeight())) return false;
    madeFor_ = window;
    width_ = area.bufferWidth();
    height_ = area.bufferHeight();
    SetStretchBltMode(buffer_.dc(), HALFTONE);
    SetBrushOrgEx(buffer_.dc(), 0, 0, nullptr);
  }
  fill_ = RECT{0, 0, static_cast<LONG>(area.width), static_cast<LONG>(area.height)};
  black_ = black;
  fillPending_ = true;
  active_ = true;
  return true;
}

void BackBuffer::beforeDrawing(const BlitRect& where, bool opaque) {
  if (fillPending_ && opaque && covers(where, fill_.right, fill_.bottom)) fillPending_ = false;
  fillIfPending();
}

void BackBuffer::fillIfPending() {
  if (!fillPending_) return;
  FillRect(buffer_.dc(), &fill_, black_);
  fillPending_ = false;
}

void BackBuffer::present(HDC window, const DrawingArea& area) {
  if (active_) fillIfPending();  // nothing was drawn: the picture is all black
  if (active_ && area.drawable()) {
    BitBlt(window, area.rect.left, area.rect.top, static_cast<int>(area.width), static_cast<int>(area.height),
           buffer_.dc(), 0, 0, SRCCOPY);
  }
  active_ = false;
}

void BackBuffer::release() {
  buffer_.reset();
  madeFor_ = nullptr;
  active_ = false;
  fillPending_ = false;
  width_ = 0;
  height_ = 0;
}

}  // namespace KMC
