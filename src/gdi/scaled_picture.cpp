#include "gdi/scaled_picture.h"

#include "gdi/channel_surface.h"

namespace KMC {

namespace {

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

bool ScaledPicture::update(HDC reference, const ChannelSurface& surface,
                           const resample::StretchAxis& x, const resample::StretchAxis& y) {
  const Made wanted{surface.uploads, surface.hasTransparency, x, y};
  if (valid_ && made_ == wanted) return true;
  valid_ = false;
  ++resamplings_;
  if (!makeSections(reference, x.visibleLength(), y.visibleLength(), surface.hasTransparency)) return false;
  left_ = x.visibleStart();
  top_ = y.visibleStart();
  // The last redraw read these sections; GDI finishes with them before their memory changes.
  GdiFlush();
  if (!resampleInto(image_.pixels(), surface.image.pixels(), surface, x, y)) return false;
  if (surface.hasTransparency && !resampleInto(mask_.pixels(), surface.mask.pixels(), surface, x, y)) return false;
  made_ = wanted;
  valid_ = true;
  return true;
}

void ScaledPicture::draw(HDC dest, bool transparency) const {
  if (!valid_) return;
  if (transparency) BitBlt(dest, left_, top_, width_, height_, mask_.dc(), 0, 0, SRCAND);
  BitBlt(dest, left_, top_, width_, height_, image_.dc(), 0, 0, transparency ? SRCPAINT : SRCCOPY);
}

void ScaledPicture::release() {
  mask_.reset();
  image_.reset();
  width_ = height_ = 0;
  valid_ = false;
}

bool ScaledPicture::makeSections(HDC reference, int width, int height, bool withMask) {
  // Top row first in memory, as the resampling writes its rows.
  const BITMAPINFO info = describeDIB(width, -height);
  if (!image_.exists() || width != width_ || height != height_) {
    release();
    if (!image_.makeSection(reference, info)) return false;
    width_ = width;
    height_ = height;
  }
  return !withMask || mask_.exists() || mask_.makeSection(reference, info);
}

bool ScaledPicture::resampleInto(uint32_t* section, const uint32_t* bottomUpPixels,
                                 const ChannelSurface& surface, const resample::StretchAxis& x,
                                 const resample::StretchAxis& y) {
  const resample::SourcePixels source =
      topRowFirst(bottomUpPixels, surface.surfaceWidth, surface.surfaceHeight);
  resample::HalftoneResampling resampling(source, x, y, scratch_);
  resampling.write(0, height_, section, width_);
  return resampling.ready();
}

}  // namespace KMC
