#include "resample/halftone.h"

#include <pixman.h>

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "resample/box_halving.h"

namespace resample {

namespace {

// The picture the bilinear step reads: the source run inside the source surface, or what the
// halvings made of it. One of its pixels stands for scaleX x scaleY source pixels.
struct Picture {
  const uint32_t* data;
  ptrdiff_t stride;
  int width, height;
  int left, top;  // where the picture starts in the source surface
  int64_t scaleX = 1, scaleY = 1;
};

// The part of the source run inside the source surface; pixels beyond it are padded.
Picture sourceInside(const SourcePixels& source, const StretchAxis& x, const StretchAxis& y) {
  const int left = int(std::max<int64_t>(x.s0, 0));
  const int top = int(std::max<int64_t>(y.s0, 0));
  const int width = int(std::min<int64_t>(x.s0 + x.sn, source.width) - left);
  const int height = int(std::min<int64_t>(y.s0 + y.sn, source.height) - top);
  return Picture{source.data + top * source.stride + left, source.stride, width, height, left, top};
}

// Whether an axis still shrinks by 2 or more: sn / (dn * scale) >= 2, in integers.
bool shrinksByTwo(const StretchAxis& a, int64_t scale, int length) {
  return length > 1 && a.sn / 2 >= a.dn * scale;
}

// Shrinking by 2 or more: halves the axes that still shrink by 2 or more, each step an exact
// box average into a scratch picture (two of them, in turn), until the ratio left is below 2.
// After k halvings every pixel is the plain mean of the 2^k x 2^k source block under it, so
// every source pixel weighs the same, which is what GDI's halftone shrinking shows (a smooth
// average with no pixels skipped) rather than the aliasing of sampling a few of them.
// False when no memory could be had for an intermediate picture.
bool halveWhileShrinking(Picture& picture, const StretchAxis& x, const StretchAxis& y,
                         ScratchPictures& scratch) {
  for (int step = 0;; ++step) {
    const bool halveX = shrinksByTwo(x, picture.scaleX, picture.width);
    const bool halveY = shrinksByTwo(y, picture.scaleY, picture.height);
    if (!halveX && !halveY) return true;
    const int nextWidth = halveX ? halvedLength(picture.width) : picture.width;
    const int nextHeight = halveY ? halvedLength(picture.height) : picture.height;
    uint32_t* next = scratch.take(step % 2, size_t(nextWidth) * size_t(nextHeight));
    if (!next) return false;
    halvePicture(picture.data, picture.stride, picture.width, picture.height, halveX, halveY, next);
    picture.data = next;
    picture.stride = nextWidth;
    picture.width = nextWidth;
    picture.height = nextHeight;
    picture.scaleX *= halveX ? 2 : 1;
    picture.scaleY *= halveY ? 2 : 1;
  }
}

// numerator / denominator in 16.16 fixed point, rounded down, exactly (denominator > 0);
// values beyond what 16.16 holds are clamped.
pixman_fixed_t fixedQuotient(int64_t numerator, int64_t denominator) {
  int64_t whole = numerator / denominator;
  int64_t rest = numerator % denominator;
  if (rest < 0) {
    whole -= 1;
    rest += denominator;
  }
  // rest < denominator <= 2^62, so doubling it stays inside 64 bits.
  int64_t fraction = 0;
  for (int bit = 0; bit < 16; ++bit) {
    rest *= 2;
    fraction *= 2;
    if (rest >= denominator) {
      rest -= denominator;
      fraction += 1;
    }
  }
  const int64_t most = std::numeric_limits<int32_t>::max() >> 16;
  if (whole > most) return std::numeric_limits<int32_t>::max();
  if (whole < -most - 1) return std::numeric_limits<int32_t>::min();
  return pixman_fixed_t(whole * 65536 + fraction);
}

// One axis of the map from visible destination pixels to picture coordinates. Visible pixel X
// is destination index i = first + X, whose position maps to source U = s0 + i * sn / dn
// (mirrored: s0 + sn - i * sn / dn), and U to picture V = (U - start) / scale. So V is
// factor * X + offset with the rationals below over the denominator dn * scale.
void pictureAxisMap(const StretchAxis& a, int start, int64_t scale, pixman_fixed_t& factor,
                    pixman_fixed_t& offset) {
  const int64_t denominator = a.dn * scale;
  const int64_t travelled = a.first * a.sn;  // first * sn / dn, times dn
  if (!a.mirror) {
    factor = fixedQuotient(a.sn, denominator);
    offset = fixedQuotient((a.s0 - start) * a.dn + travelled, denominator);
  } else {
    factor = fixedQuotient(-a.sn, denominator);
    offset = fixedQuotient((a.s0 + a.sn - start) * a.dn - travelled, denominator);
  }
}

pixman_image_t* wrap(const uint32_t* data, int width, int height, ptrdiff_t stride) {
  return pixman_image_create_bits(PIXMAN_a8r8g8b8, width, height, const_cast<uint32_t*>(data),
                                  int(stride * 4));
}

}  // namespace

HeapScratchPictures::~HeapScratchPictures() {
  std::free(buffers_[0]);
  std::free(buffers_[1]);
}

uint32_t* HeapScratchPictures::take(int slot, size_t pixels) {
  if (pixels > sizes_[slot]) {
    std::free(buffers_[slot]);
    buffers_[slot] = static_cast<uint32_t*>(std::malloc(pixels * 4));
    sizes_[slot] = buffers_[slot] ? pixels : 0;
  }
  return buffers_[slot];
}

HalftoneResampling::HalftoneResampling(const SourcePixels& source, const StretchAxis& x,
                                       const StretchAxis& y, ScratchPictures& scratch)
    : width_(x.visibleLength()), height_(y.visibleLength()) {
  Picture picture = sourceInside(source, x, y);
  if (!halveWhileShrinking(picture, x, y, scratch)) return;
  image_ = wrap(picture.data, picture.width, picture.height, picture.stride);
  if (!image_) return;
  pixman_transform_t transform;
  pixman_transform_init_identity(&transform);
  pictureAxisMap(x, picture.left, picture.scaleX, transform.matrix[0][0], transform.matrix[0][2]);
  pictureAxisMap(y, picture.top, picture.scaleY, transform.matrix[1][1], transform.matrix[1][2]);
  pixman_image_set_transform(image_, &transform);
  pixman_image_set_filter(image_, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  pixman_image_set_repeat(image_, PIXMAN_REPEAT_PAD);
}

HalftoneResampling::~HalftoneResampling() {
  if (image_) pixman_image_unref(image_);
}

void HalftoneResampling::write(int row, int rows, uint32_t* out, ptrdiff_t stride) const {
  if (!image_ || rows <= 0 || width_ <= 0) return;
  pixman_image_t* dest = wrap(out, width_, rows, stride);
  if (!dest) return;
  pixman_image_composite32(PIXMAN_OP_SRC, image_, nullptr, dest, 0, row, 0, 0, 0, 0, width_, rows);
  pixman_image_unref(dest);
}

}  // namespace resample
