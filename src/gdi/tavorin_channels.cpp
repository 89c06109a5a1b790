// The GDI renderer's per-channel work: the channel surface, frame upload and drawing.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "gdi/channel_surface.h"
#include "gdi/drawing_area.h"
#include "gdi/frame_upload.h"
#include "gdi/selected_bitmap.h"
#include "gdi/tavorin.h"
#include "gdi/video_adapter_gdi_hwnd.h"
#include "platform/win32.h"

namespace KMC {

namespace {

ChannelSurface* surfaceOf(VideoOutput<Tavorin>::Channel* channel) {
  return static_cast<ChannelSurface*>(channel->rendererData);
}

// The bitmaps go, and with them the memory the pixels were written to.
void deleteBitmaps(ChannelSurface* surface) {
  deleteSelectedBitmap(surface->maskDC, surface->maskBitmap, surface->maskPrevious);
  deleteSelectedBitmap(surface->imageDC, surface->imageBitmap, surface->imagePrevious);
  surface->maskPixels = nullptr;
  surface->picturePixels = nullptr;
  surface->surfaceWidth = 0;
  surface->surfaceHeight = 0;
}

// A 64-bit pixel coordinate brought into the 32-bit range GDI takes.
int32_t clampToInt32(int64_t value) {
  return static_cast<int32_t>(std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, value)));
}

// A fraction of the drawing area in pixels, truncated toward zero; NaN gives 0 and values
// beyond 32 bits the nearest end, so the conversion is always defined.
int32_t toPixel(double value) {
  if (!(value == value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// The stream's format code is exactly "BGRA".
bool carriesAlpha(const StreamDescriptor* descriptor) {
  return descriptor && std::memcmp(descriptor->fourCC, "BGRA", 5) == 0;
}

// Pixel edges of a rectangle, right and bottom exclusive.
struct PixelEdges {
  int32_t left, top, right, bottom;
};

// A rectangle as StretchBlt takes it: origin and extent, a negative extent mirroring.
struct BlitRect {
  int32_t x, y, width, height;
};

// The channel's output rectangle in pixels of the drawing area. A negative extent asks for
// the frame's own size from the left or top edge.
PixelEdges destinationEdges(const VideoOutput<Tavorin>::Channel& channel, const DrawingArea& area) {
  const double areaWidth = static_cast<double>(area.width);
  const double areaHeight = static_cast<double>(area.height);
  const RectFloat& place = channel.outputRect;
  PixelEdges edges;
  edges.left = toPixel(areaWidth * place.left);
  edges.top = toPixel(areaHeight * place.top);
  edges.right = place.right - place.left < 0 ? clampToInt32(int64_t(edges.left) + channel.width)
                                             : toPixel(areaWidth * place.right);
  edges.bottom = place.bottom - place.top < 0 ? clampToInt32(int64_t(edges.top) + channel.height)
                                              : toPixel(areaHeight * place.bottom);
  return edges;
}

// Where StretchBlt draws the channel in the back buffer.
BlitRect destinationBlit(const PixelEdges& edges, const RectFloat& place) {
  BlitRect destination{edges.left, edges.top, clampToInt32(int64_t(edges.right) - edges.left),
                       clampToInt32(int64_t(edges.bottom) - edges.top)};
  if (place.bottom < place.top) {
    // Mirrored vertically: a negative height covers the rows from y upwards, so y is the last
    // row of the rectangle, and the picture covers the same rows as an upright one.
    destination.y = clampToInt32(int64_t(edges.bottom) - 1);
    destination.height = clampToInt32(int64_t(edges.top) - edges.bottom);
  }
  return destination;
}

// The part of the channel's surface to show: the channel's picture rectangle; without one,
// the size of the shown frame's picture (or of the frame) from the top left corner.
BlitRect sourceBlit(const VideoOutput<Tavorin>::Channel& channel, const ChannelSurface& surface) {
  int64_t x = 0, y = 0, width = channel.width, height = channel.height;
  const RectInt& picture = channel.pictureRect;
  if (picture.isNonEmpty()) {
    x = picture.left;
    y = picture.top;
    width = int64_t(picture.right) - picture.left;
    height = int64_t(picture.bottom) - picture.top;
  } else if (channel.currentFrame && RectInt(channel.currentFrame->picture).isNonEmpty()) {
    const RectInt shown(channel.currentFrame->picture);
    width = int64_t(shown.right) - shown.left;
    height = int64_t(shown.bottom) - shown.top;
  }
  // The picture rectangle is the channel's, kept from an earlier frame; one that does not lie
  // inside this frame's surface would stretch pixels that were never uploaded.
  if (x < 0 || y < 0 || x + width > surface.surfaceWidth || y + height > surface.surfaceHeight) {
    return BlitRect{0, 0, surface.surfaceWidth, surface.surfaceHeight};
  }
  return BlitRect{int32_t(x), int32_t(y), int32_t(width), int32_t(height)};
}

// Draws the surface unscaled: with transparency, the mask is ANDed in first (clearing what the
// picture covers) and the picture ORed over it; without, the picture is copied.
void blitSurface(HDC back, const ChannelSurface& surface, const BlitRect& to,
                 const BlitRect& from) {
  if (surface.hasTransparency) {
    StretchBlt(back, to.x, to.y, to.width, to.height, surface.maskDC, from.x, from.y, from.width,
               from.height, SRCAND);
  }
  StretchBlt(back, to.x, to.y, to.width, to.height, surface.imageDC, from.x, from.y, from.width,
             from.height, surface.hasTransparency ? SRCPAINT : SRCCOPY);
}

}  // namespace

bool Tavorin::attachChannel(Channel* channel) {
  channel->rendererData = new (std::nothrow) ChannelSurface();
  return true;
}

void Tavorin::detachChannel(Channel* channel) {
  if (channel->currentFrame) {
    channel->currentFrame->release();
    channel->currentFrame = nullptr;
  }
  ChannelSurface* surface = surfaceOf(channel);
  if (!surface) return;
  deleteBitmaps(surface);
  delete surface;
  channel->rendererData = nullptr;
}

VideoSample* Tavorin::acceptFrame(Channel* channel, VideoSample* sample) {
  ChannelSurface* surface = surfaceOf(channel);
  if (!surface || !sample) return sample;
  int32_t width = 0, height = 0;
  frameSurfaceSize(sample, &width, &height);
  // A frame whose sizes would make the upload read outside it is shown as nothing: the
  // channel is skipped until the next frame, and the frame keeps its usual ownership.
  const bool usable = frameBlockIsReadable(sample, width, height);
  // The bitmaps of the previous frame serve a frame of the same size (the upload rewrites every
  // pixel drawn from them), so a steady stream makes no bitmap here.
  if (usable && surface->imagePrevious && surface->surfaceWidth == width && surface->surfaceHeight == height) {
    return sample;
  }
  deleteBitmaps(surface);
  if (!usable) return sample;
  // Positive height: the first row in memory is the picture's bottom row.
  surface->bitmapInfo = describeDIB(width, height);
  HDC window = static_cast<HDC>(windowDC_);
  // Only a channel with alpha can need a mask. A channel gets all its bitmaps or none: one whose
  // bitmaps cannot be made is skipped like one whose frame cannot be read.
  const bool made =
      createSelectedSection(window, surface->bitmapInfo, surface->picturePixels, surface->imageDC,
                            surface->imageBitmap, surface->imagePrevious) &&
      (!carriesAlpha(channel->descriptor) ||
       createSelectedSection(window, surface->bitmapInfo, surface->maskPixels, surface->maskDC,
                             surface->maskBitmap, surface->maskPrevious));
  if (!made) {
    deleteBitmaps(surface);
    return sample;
  }
  surface->surfaceWidth = width;
  surface->surfaceHeight = height;
  return sample;
}

VideoSample* Tavorin::convertFrame(Channel* channel, VideoSample* sample) {
  ChannelSurface* surface = surfaceOf(channel);
  if (surface && sample) {
    const uint32_t* pixels = sample->data();
    sample->dataDone();
    ++surface->uploads;  // the bitmaps' content is this frame's from here on
    surface->hasTransparency = false;
    int32_t width = surface->surfaceWidth;
    int32_t height = surface->surfaceHeight;
    if (pixels && surface->picturePixels && width > 0 && height > 0) {
      // The last redraw read these bitmaps; GDI finishes with them before their memory changes.
      GdiFlush();
      // One pass, straight into the bitmaps: the mask only exists on a channel with alpha.
      const bool alpha = surface->maskPixels != nullptr;
      surface->hasTransparency = copyFramePixels(pixels, sample->stride, width, height, channel->bottomUpFrameSeen,
                                                 alpha, surface->picturePixels, surface->maskPixels);
    }
  }
  VideoSample* previous = channel->currentFrame;
  channel->currentFrame = sample;
  return previous;
}

bool Tavorin::drawChannel(Channel* channel) {
  ChannelSurface* surface = surfaceOf(channel);
  if (!surface || !adapter_ || !backDC_) return true;
  if (channel->displayFactors[0] == 0.0f) return true;  // NaN still draws
  if (!surface->imagePrevious) return true;             // nothing uploaded

  const PixelEdges edges = destinationEdges(*channel, DrawingArea(adapter_->drawRect()));
  const BlitRect to = destinationBlit(edges, channel->outputRect);
  const BlitRect from = sourceBlit(*channel, *surface);
  HDC back = static_cast<HDC>(backDC_);
  if (to.width == 0 || to.height == 0 || from.width == 0 || from.height == 0) return true;
  resample::StretchAxis x(to.x, to.width, from.x, from.width);
  resample::StretchAxis y(to.y, to.height, from.y, from.height);
  if (!x.scaled() && !y.scaled()) {
    blitSurface(back, *surface, to, from);  // 1:1 (perhaps mirrored): one copy
    return true;
  }
  // Scaled: resampled here, as HALFTONE does, once per frame and rectangle; GDI only copies.
  if (!x.clip(backWidth_, surface->surfaceWidth) || !y.clip(backHeight_, surface->surfaceHeight)) return true;
  if (surface->scaled.update(static_cast<HDC>(windowDC_), *surface, x, y)) {
    surface->scaled.draw(back, surface->hasTransparency);
  }
  return true;
}

VideoSample* Tavorin::takeCurrentFrame(Channel* channel) {
  ChannelSurface* surface = surfaceOf(channel);
  if (surface) deleteBitmaps(surface);
  VideoSample* frame = channel->currentFrame;
  channel->currentFrame = nullptr;
  return frame;
}

}  // namespace KMC
