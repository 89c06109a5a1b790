// Solid drawing: FillRect, SetPixel, GetPixel.
#ifdef _WIN32
#error "posix/software_gdi_fill.cpp is the POSIX platform layer"
#endif
#include "platform/posix/software_gdi_internal.h"

#include <algorithm>

using gdi::Pixels;
using gdi::SurfaceLock;
using gdi::Target;

namespace {

// One axis of a fill: [from, to) as given, or for to < from the flipped run [to + 1, from + 1),
// as GDI's pattern fill treats a negative extent; then clipped to [0, size).
void fillRange(LONG from, LONG to, int size, int& first, int& last) {
  int64_t a = from, b = to;
  if (b < a) {
    const int64_t left = a;
    a = b + 1;
    b = left + 1;
  }
  first = int(std::clamp<int64_t>(a, 0, size));
  last = int(std::clamp<int64_t>(b, 0, size));
}

}  // namespace

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  if (rect == nullptr) return 0;
  Target target = gdi::targetOf(dc);
  std::shared_ptr<gdi::Brush> b = gdi::brushOf(brush);
  if (!target.valid || !b) return 0;
  const uint32_t value = gdi::pixelOf(b->colour);
  SurfaceLock lock(target, nullptr);
  Pixels p = lock.pixelsOf(target);
  lock.markDrawn(target);
  gdi::Area area;
  fillRange(rect->left, rect->right, p.width, area.left, area.right);
  fillRange(rect->top, rect->bottom, p.height, area.top, area.bottom);
  if (area.left >= area.right || area.top >= area.bottom) return 1;
  // Black on a bitmap that was never drawn changes nothing: it is black already.
  if (value == 0 && p.blank()) return 1;
  if (!p.prepare(&area)) return 0;
  for (int y = area.top; y < area.bottom; ++y) {
    std::fill(p.data + y * p.stride + area.left, p.data + y * p.stride + area.right, value);
  }
  return 1;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour) {
  Target target = gdi::targetOf(dc);
  if (!target.valid) return COLORREF(-1);
  SurfaceLock lock(target, nullptr);
  Pixels p = lock.pixelsOf(target);
  if (x < 0 || y < 0 || x >= p.width || y >= p.height || !p.prepare()) return COLORREF(-1);
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
  if (p.blank()) return 0;
  if (!p.prepare()) return CLR_INVALID;
  return gdi::colourOf(p.data[y * p.stride + x]);
}
