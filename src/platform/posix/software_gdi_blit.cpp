// BitBlt and StretchBlt: geometry (mirroring, clipping), nearest-pixel copies in plain loops,
// HALFTONE resampling (src/resample, shared with the renderer), and the SRCCOPY / SRCAND /
// SRCPAINT combination. Scratch pictures come from the pixel pool, so repeated blits allocate nothing.
#ifdef _WIN32
#error "posix/software_gdi_blit.cpp is the POSIX platform layer"
#endif
#include "platform/posix/software_gdi_internal.h"
#include "platform/target.h"
#include "resample/halftone.h"
#include "resample/stretch_axis.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using gdi::PixelMemory;
using gdi::Pixels;

using Axis = resample::StretchAxis;

// Kept apart so the compiler sees plain loops over two arrays and vectorises them.
TAVORIN_PIXEL_LOOP void andRow(uint32_t* __restrict d, const uint32_t* __restrict s, size_t n) {
  for (size_t i = 0; i < n; ++i) d[i] &= s[i];
}
TAVORIN_PIXEL_LOOP void orRow(uint32_t* __restrict d, const uint32_t* __restrict s, size_t n) {
  for (size_t i = 0; i < n; ++i) d[i] |= s[i];
}

void combine(uint32_t* __restrict d, const uint32_t* __restrict s, size_t n, DWORD rop) {
  switch (rop) {
    case SRCCOPY:
      std::memcpy(d, s, n * 4);
      break;
    case SRCAND:
      andRow(d, s, n);
      break;
    case SRCPAINT:
      orRow(d, s, n);
      break;
  }
}

// Nearest source pixel for every destination pixel; exact copies when the scale is 1.
void blitNearest(const Pixels& dst, const Pixels& src, const Axis& ax, const Axis& ay,
                 DWORD rop) {
  const size_t width = size_t(ax.last - ax.first);
  if (ax.identity()) {
    const int64_t sx = ax.source(ax.first);
    for (int64_t j = ay.first; j < ay.last; ++j) {
      combine(dst.data + (ay.d0 + j) * dst.stride + (ax.d0 + ax.first),
              src.data + ay.source(j) * src.stride + sx, width, rop);
    }
    return;
  }
  std::vector<int32_t> columns(width);
  for (size_t i = 0; i < width; ++i) columns[i] = int32_t(ax.source(ax.first + int64_t(i)));
  std::vector<uint32_t> row(width);
  for (int64_t j = ay.first; j < ay.last; ++j) {
    uint32_t* d = dst.data + (ay.d0 + j) * dst.stride + (ax.d0 + ax.first);
    const uint32_t* s = src.data + ay.source(j) * src.stride;
    for (size_t i = 0; i < width; ++i) row[i] = s[columns[i]];
    combine(d, row.data(), width, rop);
  }
}

// Scratch pictures of the HALFTONE halvings from the pixel pool.
class PooledScratch : public resample::ScratchPictures {
 public:
  uint32_t* take(int slot, size_t pixels) override {
    memory_[slot] = PixelMemory::take(pixels);
    return memory_[slot].data();
  }

 private:
  PixelMemory memory_[2];
};

// HALFTONE: the shared resampling into the visible destination run, combined there with rop
// (directly for SRCCOPY, a strip at a time through a small buffer otherwise). False when no
// memory could be had for an intermediate picture.
bool blitHalftone(const Pixels& dst, const Pixels& src, const Axis& ax, const Axis& ay,
                  DWORD rop) {
  PooledScratch scratch;
  const resample::SourcePixels source{src.data, src.stride, src.width, src.height};
  resample::HalftoneResampling resampling(source, ax, ay, scratch);
  if (!resampling.ready()) return false;
  const int x0 = ax.visibleStart(), y0 = ay.visibleStart();
  const int width = resampling.width(), height = resampling.height();
  uint32_t* const visible = dst.data + y0 * dst.stride + x0;
  if (rop == SRCCOPY) {
    resampling.write(0, height, visible, dst.stride);
    return true;
  }
  constexpr int kStripRows = 16;
  PixelMemory strip = PixelMemory::take(size_t(width) * kStripRows);
  if (!strip) return false;
  for (int y = 0; y < height; y += kStripRows) {
    const int rows = std::min(kStripRows, height - y);
    resampling.write(y, rows, strip.data(), width);
    for (int r = 0; r < rows; ++r) {
      combine(visible + (y + r) * dst.stride, strip.data() + size_t(r) * width, size_t(width), rop);
    }
  }
  return true;
}

}  // namespace

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX,
                int sourceY, int sourceWidth, int sourceHeight, DWORD rop) {
  if (rop != SRCCOPY && rop != SRCAND && rop != SRCPAINT) return FALSE;
  gdi::Target to = gdi::targetOf(dest);
  gdi::Target from = gdi::targetOf(source);
  if (!to.valid || !from.valid) return FALSE;
  gdi::SurfaceLock lock(to, &from);
  lock.markDrawn(to);
  if (width == 0 || height == 0 || sourceWidth == 0 || sourceHeight == 0) return TRUE;
  Pixels dst = lock.pixelsOf(to);
  Pixels src = lock.pixelsOf(from);
  Axis ax(x, width, sourceX, sourceWidth);
  Axis ay(y, height, sourceY, sourceHeight);
  if (!ax.clip(dst.width, src.width) || !ay.clip(dst.height, src.height)) return TRUE;
  // A destination bitmap never drawn into is black: ANDing leaves it black, ORing is a copy.
  if (dst.blank() && (rop == SRCAND || dst.bitmap == src.bitmap)) return TRUE;
  if (dst.blank() && rop == SRCPAINT) rop = SRCCOPY;
  // The source first: when both are one bitmap, it is then fully there to be read.
  const gdi::Area written = {int(ax.d0 + ax.first), int(ay.d0 + ay.first), int(ax.d0 + ax.last),
                             int(ay.d0 + ay.last)};
  if (!src.prepare() || !dst.prepare(rop == SRCCOPY ? &written : nullptr)) return FALSE;
  // Reading and writing one surface: read from a snapshot so overlapping runs come out as if
  // the source had been copied first.
  PixelMemory snapshot;
  if (src.data == dst.data) {
    const size_t width = size_t(src.width);
    snapshot = PixelMemory::take(size_t(src.height) * width);
    if (!snapshot) return FALSE;
    for (int y = 0; y < src.height; ++y) {
      std::memcpy(snapshot.data() + size_t(y) * width, src.data + y * src.stride, width * 4);
    }
    src.data = snapshot.data();
    src.stride = ptrdiff_t(width);
  }
  const bool unscaled = ax.sn == ax.dn && ay.sn == ay.dn;
  if (to.stretchMode == HALFTONE && !unscaled) return blitHalftone(dst, src, ax, ay, rop);
  blitNearest(dst, src, ax, ay, rop);
  return TRUE;
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop) {
  return StretchBlt(dest, x, y, width, height, source, sourceX, sourceY, width, height, rop);
}
