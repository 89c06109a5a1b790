// The GDI renderer: the one concrete component of the library. This file and tavorin.cpp hold
// its lifecycle and the adapter negotiation; tavorin_channels.cpp its channel operations, built
// from the channel surface (channel_surface.h), the blit geometry (blit_geometry.h) and the
// scaled picture (scaled_picture.h); the redraw's picture is the back buffer (back_buffer.h).
//
// It fills the video output's renderer operations with GDI drawing: it offers the engine the
// window-handle adapter kind, reads the target window and drawing rectangle from the adapter,
// keeps two memory bitmaps per channel (picture and transparency mask) that receive each
// current frame, and on every redraw draws every selected channel into a black back buffer at
// its output rectangle and copies the back buffer into the window. A channel at 1:1 is copied
// from its bitmaps; a scaled one is resampled by the renderer itself, as HALFTONE stretching
// does, once per frame and rectangle, and copied 1:1 from that (scaled_picture.h). No
// aspect-ratio work: whatever no channel covers stays black.
#pragma once

#include <atomic>
#include <cstdint>

#include "abi/list.h"
#include "gdi/back_buffer.h"
#include "gdi/window_copy_pace.h"
#include "videooutput/video_output.h"

namespace KMC {

class VideoAdapterGDIHWND;
struct ChannelSurface;

class Tavorin : public VideoOutput<Tavorin> {
 public:
  typedef VideoOutput<Tavorin>::Channel Channel;

  explicit Tavorin(PluginHost* host);
  ~Tavorin();

  // Renderer operations, in slot order. "Output thread" operations run there under the locks
  // the video output documents for each; the others are named.
  const char* rendererIdentity() override;                      // engine thread: "GDI"
  bool registerFormats(int32_t) override;                        // engine thread: BGRA, BGRX,
                                                                 // and the adapter kinds
  bool runOutputRound() override;                                // output thread, no locks
  bool initializeRenderer() override;                            // window DC and black brush
  bool shutdownRenderer() override;                              // releases both
  bool reconfigure() override;                                   // new DC, reports the size
  bool reconfigureCommit() override;
  bool beginFrame() override;                                    // black back buffer, if drawable
  bool endFrame() override;                                      // copy to window, paced
  void* surfaceObject() override;                                // none: null
  bool attachChannel(Channel* channel) override;                 // engine thread
  void detachChannel(Channel* channel) override;
  VideoSample* acceptFrame(Channel* channel, VideoSample* sample) override;
  VideoSample* convertFrame(Channel* channel, VideoSample* sample) override;
  bool drawChannel(Channel* channel) override;
  VideoSample* takeCurrentFrame(Channel* channel) override;      // also an engine thread
  void holdChannel(Channel* channel) override;
  void resumeChannel(Channel* channel) override;
  bool geometryChanged(Channel* channel, const RectFloat* source) override;

  // The adapter negotiation, once: asks the engine to choose among the offered kinds and,
  // when it chose the window-handle kind, makes that adapter and hands it to the engine.
  void negotiateAdapter();
  // The window test: with an adapter that has a window, asks for the reconfiguration that
  // draws into it, marks the renderer ready and answers true; otherwise pauses 5 ms (the
  // engine has still to give a window) and answers false.
  bool takeUpWindow();
  // The adapter's notification, on the engine thread that changes the adapter.
  void adapterStateChanged(bool ready);

 private:
  void releaseDrawingObjects();
  // With the formats: the adapter kinds the engine chooses from (the window-handle kind).
  void offerAdapterKinds();

  std::atomic<bool> adapterActive_;  // the presentation loop's keep-running flag: set once an
                                     // adapter exists; the loop ends with the output thread
  StringList adapterKinds_;
  VideoAdapterGDIHWND* adapter_;
  void* windowDC_;                   // HDC
  WindowHandle windowOfDC_;          // the window windowDC_ was taken from (released there)
  void* blackBrush_;                 // HBRUSH
  BackBuffer back_;                  // between beginFrame and endFrame
  WindowCopyPace copyPace_;          // at most one window copy per 15 ms
};

}  // namespace KMC
