#include "gdi/video_adapter_gdi_hwnd.h"

namespace KMC {

VideoAdapterGDIHWND::VideoAdapterGDIHWND()
    : window_(0), drawRect_(0, 0, 0, 0), secondaryRect_(0, 0, 0, 0), secondaryRectSet_(false) {}

VideoAdapterGDIHWND::~VideoAdapterGDIHWND() {}

void VideoAdapterGDIHWND::raiseState(bool ready) {
  if (stateNotification) stateNotification(ready);
}

void VideoAdapterGDIHWND::setDrawRect(RectInt rect) {
  if (rect.sameEdges(drawRect_)) return;
  raiseState(false);
  drawRect_ = RectInt(rect.left, rect.top, rect.right, rect.bottom);
  raiseState(true);
}

void VideoAdapterGDIHWND::setSecondaryRect(RectInt rect) {
  if (rect.sameEdges(secondaryRect_)) return;
  raiseState(false);
  secondaryRectSet_ = true;
  secondaryRect_ = RectInt(rect.left, rect.top, rect.right, rect.bottom);
  raiseState(true);
}

void VideoAdapterGDIHWND::setWindow(WindowHandle window) {
  if (window == window_) return;
  // A change from or to no window has only the half that concerns a real window.
  if (window_ != 0) raiseState(false);
  window_ = window;
  if (window_ != 0) raiseState(true);
}

WindowHandle VideoAdapterGDIHWND::window() const { return window_; }
bool VideoAdapterGDIHWND::hasSecondaryRect() const { return secondaryRectSet_; }
RectInt VideoAdapterGDIHWND::drawRect() const { return drawRect_; }
RectInt VideoAdapterGDIHWND::secondaryRect() const { return secondaryRect_; }

}  // namespace KMC
