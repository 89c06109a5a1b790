#include "gdi/scaled_picture.h"

#include <cstdlib>
#include <cstring>

#include "gdi/channel_surface.h"
#include "gdi/selected_bitmap.h"

namespace KMC {

namespace {

void describe(const resample::StretchAxis& a, int64_t (&into)[7]) {
  const int64_t values[7] = {a.d0, a.dn, a.s0, a.sn, a.mirror ? 1 : 0, a.first, a.last};
  std::memcpy(into, values, sizeof values);
}

// A buffer of bottom-up rows (row 0 the picture's bottom) read top row first.
resample::SourcePixels topRowFirst(const uint32_t* bottomUp, int32_t width, int32_t height) {
  resample::SourcePixels source;
  source.data = bottomUp + static_cast<ptrdiff_t>(height - 1) * width;
  source.stride = -static_cast<ptrdiff_t>(width);
  source.width = width;
  source.height = height;
  return source;
}

}  // namespace

ScaledPicture::Made ScaledPicture::madeFor(const ChannelSurface& surface,
                                           const resample::StretchAxis& x,
                                           const resample::StretchAxis& y) {
  Made made;
  made.upload = surface.uploads;
  made.mask = surface.hasTransparency;
  describe(x, made.x);
  describe(y, made.y);
  return made;
}

bool ScaledPicture::same(const Made& a, const Made& b) {
  return a.upload == b.upload && a.mask == b.mask && std::memcmp(a.x, b.x, sizeof a.x) == 0 &&
         std::memcmp(a.y, b.y, sizeof a.y) == 0;
}

bool ScaledPicture::update(HDC reference, const ChannelSurface& surface,
                           const resample::StretchAxis& x, const resample::StretchAxis& y) {
  const Made wanted = madeFor(surface, x, y);
  if (valid_ && same(made_, wanted)) return true;
  valid_ = false;
  ++resamplings_;
  const int width = x.visibleLength(), height = y.visibleLength();
  if (!makeBitmaps(reference, width, height)) return false;
  left_ = x.visibleStart();
  top_ = y.visibleStart();
  if (!resampleInto(imageBitmap_, surface.picturePixels, surface, x, y)) return false;
  if (surface.hasTransparency && !resampleInto(maskBitmap_, surface.maskPixels, surface, x, y)) {
    return false;
  }
  made_ = wanted;
  valid_ = true;
  return true;
}

void ScaledPicture::draw(HDC dest, bool transparency) const {
  if (!valid_) return;
  if (transparency) BitBlt(dest, left_, top_, width_, height_, maskDC_, 0, 0, SRCAND);
  BitBlt(dest, left_, top_, width_, height_, imageDC_, 0, 0, transparency ? SRCPAINT : SRCCOPY);
}

void ScaledPicture::release() {
  deleteSelectedBitmap(maskDC_, maskBitmap_, maskPrevious_);
  deleteSelectedBitmap(imageDC_, imageBitmap_, imagePrevious_);
  std::free(rows_);
  rows_ = nullptr;
  width_ = height_ = 0;
  valid_ = false;
}

bool ScaledPicture::makeBitmaps(HDC reference, int width, int height) {
  if (imagePrevious_ && maskPrevious_ && width == width_ && height == height_) return true;
  release();
  rows_ = static_cast<uint32_t*>(std::malloc(static_cast<size_t>(width) * static_cast<size_t>(height) * 4));
  if (!rows_ || !createSelectedBitmap(reference, width, height, maskDC_, maskBitmap_, maskPrevious_) ||
      !createSelectedBitmap(reference, width, height, imageDC_, imageBitmap_, imagePrevious_)) {
    release();
    return false;
  }
  width_ = width;
  height_ = height;
  return true;
}

bool ScaledPicture::resampleInto(HBITMAP bitmap, const uint32_t* bottomUpPixels,
                                 const ChannelSurface& surface, const resample::StretchAxis& x,
                                 const resample::StretchAxis& y) {
  const resample::SourcePixels source =
      topRowFirst(bottomUpPixels, surface.surfaceWidth, surface.surfaceHeight);
  resample::HalftoneResampling resampling(source, x, y, scratch_);
  if (!resampling.ready()) return false;
  resampling.write(0, height_, rows_, width_);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;  // top-down: the first row written is the top one
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return SetDIBits(nullptr, bitmap, 0, static_cast<UINT>(height_), rows_, &info, DIB_RGB_COLORS) != 0;
}

}  // namespace KMC
