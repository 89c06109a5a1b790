// BitBlt and StretchBlt: geometry (mirroring, clipping), nearest-pixel copies in plain loops,
// HALFTONE resampling (box halving, then pixman), and the SRCCOPY / SRCAND / SRCPAINT
// combination. Scratch pictures come from the pixel pool, so repeated blits allocate nothing.
#ifdef _WIN32
#error "posix/software_gdi_blit.cpp is the POSIX platform layer"
#endif
#include "platform/posix/software_gdi_halve.h"
#include "platform/posix/software_gdi_internal.h"
#include "platform/target.h"

#include <pixman.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using gdi::PixelMemory;
using gdi::Pixels;

// One axis of a blit. Destination index i (0 <= i < dn) is the pixel at d0 + i; its centre maps
// into the source run [s0, s0 + sn), reversed when mirrored.
struct Axis {
  int64_t d0 = 0, dn = 0, s0 = 0, sn = 0;
  bool mirror = false;
  int64_t first = 0, last = 0;  // visible destination indices [first, last)

  Axis(int x, int w, int sx, int sw) {
    d0 = w < 0 ? int64_t(x) + w + 1 : x;
    dn = w < 0 ? -int64_t(w) : w;
    s0 = sw < 0 ? int64_t(sx) + sw + 1 : sx;
    sn = sw < 0 ? -int64_t(sw) : sw;
    mirror = (w < 0) != (sw < 0);
  }
  // Source pixel (absolute) under the centre of destination index i.
  int64_t source(int64_t i) const {
    const uint64_t j = uint64_t(mirror ? dn - 1 - i : i);
    return s0 + int64_t((2 * j + 1) * uint64_t(sn) / (2 * uint64_t(dn)));
  }
  // Keeps the destination indices that land on the destination surface and whose source
  // pixel is inside the source surface (source() is monotonic, so they are one run).
  bool clip(int destSize, int sourceSize) {
    first = std::max<int64_t>(0, -d0);
    last = std::min<int64_t>(dn, int64_t(destSize) - d0);
    auto inside = [&](int64_t i) {
      int64_t s = source(i);
      return s >= 0 && s < sourceSize;
    };
    while (first < last && !inside(first)) ++first;
    while (last > first && !inside(last - 1)) --last;
    return first < last;
  }
  bool identity() const { return sn == dn && !mirror; }
};

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

pixman_image_t* wrap(uint32_t* data, int width, int height, ptrdiff_t stride) {
  return pixman_image_create_bits(PIXMAN_a8r8g8b8, width, height, data, int(stride * 4));
}

// A picture HALFTONE resamples from: the source run inside the source surface, or what the
// halvings made of it. One of its pixels stands for scaleX x scaleY source pixels.
struct ResampleSource {
  const uint32_t* data;
  ptrdiff_t stride;
  int width, height;
  int left, top;              // where the picture starts in the source surface
  double scaleX = 1, scaleY = 1;
};

// The part of the source run inside the source surface; pixels beyond it are padded.
ResampleSource sourceInside(const Pixels& src, const Axis& ax, const Axis& ay) {
  const int left = int(std::max<int64_t>(ax.s0, 0));
  const int top = int(std::max<int64_t>(ay.s0, 0));
  const int width = int(std::min<int64_t>(ax.s0 + ax.sn, src.width) - left);
  const int height = int(std::min<int64_t>(ay.s0 + ay.sn, src.height) - top);
  return ResampleSource{src.data + top * src.stride + left, src.stride, width, height, left, top};
}

// Shrinking by 2 or more: halves the axes that still shrink by 2 or more, each step an exact
// box average into a pooled picture (two of them, in turn), until the ratio left is below 2.
// After k halvings every pixel is the plain mean of the 2^k x 2^k source block under it, so
// every source pixel weighs the same, which is what GDI's halftone shrinking shows (a smooth
// average with no pixels skipped) rather than the aliasing of sampling a few of them.
// False when no memory could be had for an intermediate picture.
bool halveWhileShrinking(ResampleSource& picture, const Axis& ax, const Axis& ay,
                         PixelMemory (&halved)[2]) {
  for (int step = 0;; ++step) {
    const bool halveX = double(ax.sn) / (ax.dn * picture.scaleX) >= 2 && picture.width > 1;
    const bool halveY = double(ay.sn) / (ay.dn * picture.scaleY) >= 2 && picture.height > 1;
    if (!halveX && !halveY) return true;
    const int nextWidth = halveX ? gdi::halvedLength(picture.width) : picture.width;
    const int nextHeight = halveY ? gdi::halvedLength(picture.height) : picture.height;
    PixelMemory& next = halved[step % 2];
    next = PixelMemory::take(size_t(nextWidth) * size_t(nextHeight));
    if (!next) return false;
    gdi::halvePicture(picture.data, picture.stride, picture.width, picture.height, halveX, halveY,
                      next.data());
    picture.data = next.data();
    picture.stride = nextWidth;
    picture.width = nextWidth;
    picture.height = nextHeight;
    picture.scaleX *= halveX ? 2 : 1;
    picture.scaleY *= halveY ? 2 : 1;
  }
}

// One axis of the map from destination to picture coordinates: destination X maps to source
// U = s0 + (X - d0) * sn / dn (mirrored: s0 + sn - (X - d0) * sn / dn), and U to picture
// V = (U - start) / scale.
void pictureAxisMap(const Axis& a, int start, double scale, double& factor, double& offset) {
  const double ratio = double(a.sn) / double(a.dn);
  if (!a.mirror) {
    factor = ratio / scale;
    offset = (double(a.s0 - start) - double(a.d0) * ratio) / scale;
  } else {
    factor = -ratio / scale;
    offset = (double(a.s0 + a.sn - start) + double(a.d0) * ratio) / scale;
  }
}

// The picture as a pixman image sampled bilinearly at destination coordinates, its edges
// padded outwards.
pixman_image_t* bilinearImage(const ResampleSource& picture, const Axis& ax, const Axis& ay) {
  pixman_image_t* image =
      wrap(const_cast<uint32_t*>(picture.data), picture.width, picture.height, picture.stride);
  double factorX, offsetX, factorY, offsetY;
  pictureAxisMap(ax, picture.left, picture.scaleX, factorX, offsetX);
  pictureAxisMap(ay, picture.top, picture.scaleY, factorY, offsetY);
  pixman_transform_t transform;
  pixman_transform_init_identity(&transform);
  transform.matrix[0][0] = pixman_double_to_fixed(factorX);
  transform.matrix[0][2] = pixman_double_to_fixed(offsetX);
  transform.matrix[1][1] = pixman_double_to_fixed(factorY);
  transform.matrix[1][2] = pixman_double_to_fixed(offsetY);
  pixman_image_set_transform(image, &transform);
  pixman_image_set_filter(image, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  pixman_image_set_repeat(image, PIXMAN_REPEAT_PAD);
  return image;
}

// Resamples `image` into the visible destination run and combines it there with `rop`.
// False when no memory could be had for the strip buffer.
bool drawResampled(pixman_image_t* image, const Pixels& dst, const Axis& ax, const Axis& ay,
                   DWORD rop) {
  const int x0 = int(ax.d0 + ax.first), y0 = int(ay.d0 + ay.first);
  const int width = int(ax.last - ax.first), height = int(ay.last - ay.first);
  if (rop == SRCCOPY) {
    pixman_image_t* dest = wrap(dst.data, dst.width, dst.height, dst.stride);
    pixman_image_composite32(PIXMAN_OP_SRC, image, nullptr, dest, x0, y0, 0, 0, x0, y0, width,
                             height);
    pixman_image_unref(dest);
    return true;
  }
  // Resample a strip at a time into a small buffer, then combine it with the destination.
  constexpr int kStripRows = 16;
  PixelMemory strip = PixelMemory::take(size_t(width) * kStripRows);
  if (!strip) return false;
  pixman_image_t* dest = wrap(strip.data(), width, kStripRows, width);
  for (int y = 0; y < height; y += kStripRows) {
    const int rows = std::min(kStripRows, height - y);
    pixman_image_composite32(PIXMAN_OP_SRC, image, nullptr, dest, x0, y0 + y, 0, 0, 0, 0, width,
                             rows);
    for (int r = 0; r < rows; ++r) {
      combine(dst.data + (y0 + y + r) * dst.stride + x0, strip.data() + size_t(r) * width,
              size_t(width), rop);
    }
  }
  pixman_image_unref(dest);
  return true;
}

// HALFTONE: box average when shrinking (repeated exact halvings, then one bilinear step for
// the remaining ratio below 2), bilinear interpolation when enlarging.
// False when no memory could be had for an intermediate picture.
bool blitHalftone(const Pixels& dst, const Pixels& src, const Axis& ax, const Axis& ay,
                  DWORD rop) {
  ResampleSource picture = sourceInside(src, ax, ay);
  PixelMemory halved[2];
  if (!halveWhileShrinking(picture, ax, ay, halved)) return false;
  pixman_image_t* image = bilinearImage(picture, ax, ay);
  const bool drawn = drawResampled(image, dst, ax, ay, rop);
  pixman_image_unref(image);
  return drawn;
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
