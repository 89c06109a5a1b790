// Solid drawing: FillRect, SetPixel, GetPixel.
#ifdef _WIN32
#error "posix/gdi_fill.cpp is the POSIX platform layer"
#endif
#include "platform/posix/gdi_internal.h"

#include <algorithm>

using gdi::Pixels;
using gdi::SurfaceLock;
using gdi::Target;

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  if (rect == nullptr) return 0;
  Target target = gdi::targetOf(dc);
  std::shared_ptr<gdi::Brush> b = gdi::brushOf(brush);
  if (!target.valid || !b) return 0;
  const uint32_t value = gdi::pixelOf(b->colour);
  SurfaceLock lock(target, nullptr);
  Pixels p = lock.pixelsOf(target);
  lock.markDrawn(target);
  const int left = std::max<LONG>(rect->left, 0), right = std::min<LONG>(rect->right, p.width);
  const int top = std::max<LONG>(rect->top, 0), bottom = std::min<LONG>(rect->bottom, p.height);
  for (int y = top; y < bottom; ++y) {
    std::fill(p.data + y * p.stride + left, p.data + y * p.stride + right, value);
  }
  return 1;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour) {
  Target target = gdi::targetOf(dc);
  if (!target.valid) return COLORREF(-1);
  SurfaceLock lock(target, nullptr);
  Pixels p = lock.pixelsOf(target);
  if (x < 0 || y < 0 || x >= p.width || y >= p.height) return COLORREF(-1);
  p.data[y * p.stride + x] = gdi::pixelOf(colour & 0x00FFFFFFu);
  lock.markDrawn(target);
  return colour & 0x00FFFFFFu;
}

COLORREF GetPixel(HDC dc, int x, int y) {
  Target target = gdi::targetOf(dc);
  if (!target.valid) return CLR_INVALID;
  SurfaceLock lock(target, nullptr);
  Pixels p = lock.pixelsOf(target);
  if (x < 0 || y < 0 || x >= p.width || y >= p.height) return CLR_INVALID;
  return gdi::colourOf(p.data[y * p.stride + x]);
}
