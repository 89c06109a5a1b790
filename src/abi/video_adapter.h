// The engine's view of a video adapter: the object through which the engine tells the
// renderer where to draw. See abi/abi.h: the entry numbers are the ABI; entry 0 is EngineTable's
// deleting destructor, which the engine never calls (the renderer owns the adapter).
#pragma once

#include "abi/abi.h"
#include "abi/geometry_records.h"

namespace KMC {

class VideoAdapterUnknown : public EngineTable {
 public:
  /* 1 */ virtual void setDrawRect(RectIntRecord rect) = 0;
  /* 2 */ virtual void setSecondaryRect(RectIntRecord rect) = 0;

 protected:
  ~VideoAdapterUnknown() = default;
};

class VideoAdapterHWND : public VideoAdapterUnknown {
 public:
  /* 3 */ virtual void setWindow(WindowHandle window) = 0;

 protected:
  ~VideoAdapterHWND() = default;
};
// The setters run on any engine thread, also from inside setVideoAdapter, and never call the
// engine. A change is announced to the renderer before and after it, on the setter's thread: the
// announcement before it takes renderLock to ask for a reconfiguration, so a setter on an engine
// thread waits for a presentation pass in progress to end (at most one redraw and its pause);
// from inside channelEvent or windowSizeChanged, on the output thread that holds renderLock
// already, it does not wait. Setting a value equal to the stored one does nothing.
//  1 setDrawRect: the drawing rectangle in window pixels (inclusive edges), the engine's RectInt
//    by value.
//  2 setSecondaryRect: a secondary rectangle, by value; stored only.
//  3 setWindow: the window to draw into; 0 takes the window away.

}  // namespace KMC
