#include "gdi/channel_surface.h"

#include "gdi/frame_upload.h"

namespace KMC {

bool ChannelSurface::prepare(HDC reference, int32_t width, int32_t height, bool withMask) {
  if (exists() && surfaceWidth == width && surfaceHeight == height && mask.exists() == withMask) return true;
  release();
  // Positive height: the first row in memory is the picture's bottom row.
  bitmapInfo = describeDIB(width, height);
  if (!image.makeSection(reference, bitmapInfo) || (withMask && !mask.makeSection(reference, bitmapInfo))) {
    release();
    return false;
  }
  surfaceWidth = width;
  surfaceHeight = height;
  return true;
}

void ChannelSurface::release() {
  mask.reset();
  image.reset();
  surfaceWidth = 0;
  surfaceHeight = 0;
}

void ChannelSurface::upload(const uint32_t* pixels, int32_t stride, bool bottomUp) {
  ++uploads;  // the bitmaps' content is this frame's from here on
  hasTransparency = false;
  if (!pixels || !image.pixels() || surfaceWidth <= 0 || surfaceHeight <= 0) return;
  // The last redraw read these bitmaps; GDI finishes with them before their memory changes.
  GdiFlush();
  hasTransparency = copyFramePixels(pixels, stride, surfaceWidth, surfaceHeight, bottomUp,
                                    mask.pixels() != nullptr, image.pixels(), mask.pixels());
}

void ChannelSurface::blit(HDC back, const BlitRect& to, const BlitRect& from) const {
  if (hasTransparency) {
    StretchBlt(back, to.x, to.y, to.width, to.height, mask.dc(), from.x, from.y, from.width,
               from.height, SRCAND);
  }
  StretchBlt(back, to.x, to.y, to.width, to.height, image.dc(), from.x, from.y, from.width,
             from.height, hasTransparency ? SRCPAINT : SRCCOPY);
}

}  // namespace KMC
