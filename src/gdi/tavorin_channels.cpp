// The GDI renderer's channel operations: each channel's surface receives its frames, and a
// redraw draws it from there into the back buffer, 1:1 or resampled.
#include <cstring>
#include <new>

#include "gdi/blit_geometry.h"
#include "gdi/channel_surface.h"
#include "gdi/drawing_area.h"
#include "gdi/frame_upload.h"
#include "gdi/tavorin.h"
#include "gdi/video_adapter_gdi_hwnd.h"
#include "platform/win32.h"

namespace KMC {

namespace {

ChannelSurface* surfaceOf(VideoOutput<Tavorin>::Channel* channel) {
  return static_cast<ChannelSurface*>(channel->rendererData);
}

// The stream's format code is exactly "BGRA".
bool carriesAlpha(const StreamDescriptor* descriptor) {
  return descriptor && std::memcmp(descriptor->fourCC, "BGRA", 5) == 0;
}

// The picture rectangle of the channel's shown frame; empty without one.
RectInt shownPicture(const VideoOutput<Tavorin>::Channel& channel) {
  return channel.currentFrame ? RectInt(channel.currentFrame->picture) : RectInt();
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
  delete surface;
  channel->rendererData = nullptr;
}

VideoSample* Tavorin::acceptFrame(Channel* channel, VideoSample* sample) {
  ChannelSurface* surface = surfaceOf(channel);
  if (!surface || !sample) return sample;
  int32_t width = 0, height = 0;
  frameSurfaceSize(sample, &width, &height);
  // A frame whose sizes would make the upload read outside it, or whose bitmaps cannot be
  // made, is shown as nothing: the channel is skipped until the next frame, and the frame
  // keeps its usual ownership.
  if (!frameBlockIsReadable(sample, width, height)) {
    surface->release();
    return sample;
  }
  surface->prepare(static_cast<HDC>(windowDC_), width, height, carriesAlpha(channel->descriptor));
  return sample;
}

VideoSample* Tavorin::convertFrame(Channel* channel, VideoSample* sample) {
  ChannelSurface* surface = surfaceOf(channel);
  if (surface && sample) {
    const uint32_t* pixels = sample->data();
    sample->dataDone();
    surface->upload(pixels, sample->stride, channel->bottomUpFrameSeen);
  }
  VideoSample* previous = channel->currentFrame;
  channel->currentFrame = sample;
  return previous;
}

bool Tavorin::drawChannel(Channel* channel) {
  ChannelSurface* surface = surfaceOf(channel);
  if (!surface || !adapter_ || !back_.active()) return true;
  if (channel->displayFactors[0] == 0.0f) return true;  // NaN still draws
  if (!surface->exists()) return true;                  // nothing uploaded

  const PixelEdges edges =
      destinationEdges(channel->outputRect, channel->width, channel->height, DrawingArea(adapter_->drawRect()));
  const BlitRect to = destinationBlit(edges, channel->outputRect);
  const BlitRect from = sourceBlit(channel->pictureRect, shownPicture(*channel), channel->width, channel->height,
                                   surface->surfaceWidth, surface->surfaceHeight);
  if (to.width == 0 || to.height == 0 || from.width == 0 || from.height == 0) return true;
  resample::StretchAxis x(to.x, to.width, from.x, from.width);
  resample::StretchAxis y(to.y, to.height, from.y, from.height);
  const bool opaque = !surface->hasTransparency;
  if (!x.scaled() && !y.scaled()) {
    back_.beforeDrawing(to, opaque);
    surface->blit(back_.dc(), to, from);  // 1:1 (perhaps mirrored): one copy
    return true;
  }
  // Scaled: resampled here, as HALFTONE does, once per frame and rectangle; GDI only copies.
  if (!x.clip(back_.width(), surface->surfaceWidth) || !y.clip(back_.height(), surface->surfaceHeight)) return true;
  if (surface->scaled.update(static_cast<HDC>(windowDC_), *surface, x, y)) {
    back_.beforeDrawing(surface->scaled.placement(), opaque);
    surface->scaled.draw(back_.dc(), surface->hasTransparency);
  }
  return true;
}

VideoSample* Tavorin::takeCurrentFrame(Channel* channel) {
  ChannelSurface* surface = surfaceOf(channel);
  if (surface) surface->release();
  VideoSample* frame = channel->currentFrame;
  channel->currentFrame = nullptr;
  return frame;
}

}  // namespace KMC
