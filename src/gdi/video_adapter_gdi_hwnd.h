// The window-handle adapter: the engine writes a window, a drawing rectangle and a secondary
// rectangle; the renderer reads them. The adapter takes no lock: every change is bracketed by
// a false and a true state notification, and the false one pauses the renderer's drawing.
#pragma once

#include <boost/thread/recursive_mutex.hpp>

#include "framework/video_adapter.h"
#include "gdi/gdi_adapter.h"

namespace KMC {

class VideoAdapterGDIHWND : public VideoAdapterHWND, public GDIAdapter {
 public:
  VideoAdapterGDIHWND();
  ~VideoAdapterGDIHWND() override;

  // Engine side.
  void setDrawRect(RectInt rect) override;
  void setSecondaryRect(RectInt rect) override;
  void setWindow(WindowHandle window) override;

  // Renderer side.
  WindowHandle window() const override;
  bool hasSecondaryRect() const override;
  RectInt drawRect() const override;
  RectInt secondaryRect() const override;

 private:
  void raiseState(bool ready);

  WindowHandle window_;
  RectInt drawRect_;
  RectInt secondaryRect_;
  bool secondaryRectSet_;
  // Kept for the layout the engine knows; none of the operations takes it.
  boost::recursive_mutex lock_;
};

}  // namespace KMC
