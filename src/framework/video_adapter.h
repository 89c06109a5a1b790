// The engine's view of a video adapter: the object through which the engine tells the
// renderer where to draw. See framework/abi.h: positions are the ABI.
#pragma once

#include "framework/abi.h"
#include "framework/geometry.h"

namespace KMC {

class VideoAdapterUnknown {
 public:
  virtual ~VideoAdapterUnknown() {}                  // 0
  // 1: the drawing rectangle in window pixels (inclusive edges).
  virtual void setDrawRect(RectInt rect) = 0;
  // 2: a secondary rectangle; stored only.
  virtual void setSecondaryRect(RectInt rect) = 0;
};

class VideoAdapterHWND : public VideoAdapterUnknown {
 public:
  // 3: the window to draw into; 0 takes the window away.
  virtual void setWindow(WindowHandle window) = 0;
};

}  // namespace KMC
