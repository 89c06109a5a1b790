#include "gdi/video_adapter_gdi_hwnd.h"

#include <boost/thread/lock_guard.hpp>

namespace KMC {

namespace {
typedef boost::lock_guard<boost::recursive_mutex> Guard;
}  // namespace

VideoAdapterGDIHWND::VideoAdapterGDIHWND()
    : window_(0), drawRect_(0, 0, 0, 0), secondaryRect_(0, 0, 0, 0), secondaryRectSet_(false) {}

VideoAdapterGDIHWND::~VideoAdapterGDIHWND() {}

void VideoAdapterGDIHWND::bindNotification(const boost::function<void(bool)>& state) {
  Guard guard(lock_);
  stateNotification = state;
}

void VideoAdapterGDIHWND::raiseState(bool ready) {
  boost::function<void(bool)> notify;
  {
    Guard guard(lock_);
    notify = stateNotification;
  }
  if (notify) notify(ready);
}

void VideoAdapterGDIHWND::setDrawRect(RectIntRecord record) {
  const RectInt rect(record);
  {
    Guard guard(lock_);
    if (rect.sameEdges(drawRect_)) return;
  }
  raiseState(false);
  {
    Guard guard(lock_);
    drawRect_ = rect;
  }
  raiseState(true);
}

void VideoAdapterGDIHWND::setSecondaryRect(RectIntRecord record) {
  const RectInt rect(record);
  {
    Guard guard(lock_);
    if (rect.sameEdges(secondaryRect_)) return;
  }
  raiseState(false);
  {
    Guard guard(lock_);
    secondaryRectSet_ = true;
    secondaryRect_ = rect;
  }
  raiseState(true);
}

void VideoAdapterGDIHWND::setWindow(WindowHandle window) {
  WindowHandle previous;
  {
    Guard guard(lock_);
    previous = window_;
  }
  if (window == previous) return;
  // A change from or to no window has only the half that concerns a real window.
  if (previous != 0) raiseState(false);
  {
    Guard guard(lock_);
    window_ = window;
  }
  if (window != 0) raiseState(true);
}

WindowHandle VideoAdapterGDIHWND::window() const {
  Guard guard(lock_);
  return window_;
}

bool VideoAdapterGDIHWND::hasSecondaryRect() const {
  Guard guard(lock_);
  return secondaryRectSet_;
}

RectInt VideoAdapterGDIHWND::drawRect() const {
  Guard guard(lock_);
  return drawRect_;
}

RectInt VideoAdapterGDIHWND::secondaryRect() const {
  Guard guard(lock_);
  return secondaryRect_;
}

}  // namespace KMC
