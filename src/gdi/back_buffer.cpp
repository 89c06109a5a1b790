#include "gdi/back_buffer.h"

#include "gdi/drawing_area.h"

namespace KMC {

bool BackBuffer::begin(HDC window, const DrawingArea& area, HBRUSH black) {
  end();
  if (!buffer_.makeCompatible(window, area.bufferWidth(), area.bufferHeight())) return false;
  width_ = area.bufferWidth();
  height_ = area.bufferHeight();
  HDC back = buffer_.dc();
  SetStretchBltMode(back, HALFTONE);
  SetBrushOrgEx(back, 0, 0, nullptr);
  RECT fill = {0, 0, static_cast<LONG>(area.width), static_cast<LONG>(area.height)};
  FillRect(back, &fill, black);
  return true;
}

void BackBuffer::present(HDC window, const DrawingArea& area) {
  if (active() && area.drawable()) {
    BitBlt(window, area.rect.left, area.rect.top, static_cast<int>(area.width), static_cast<int>(area.height),
           buffer_.dc(), 0, 0, SRCCOPY);
  }
  end();
}

void BackBuffer::end() {
  buffer_.reset();
  width_ = 0;
  height_ = 0;
}

}  // namespace KMC
