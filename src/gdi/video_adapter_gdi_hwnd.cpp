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

template <typename Compare, typename Store>
void VideoAdapterGDIHWND::change(Compare compare, Store store) {
  Halves halves;
  {
    Guard guard(lock_);
    halves = compare();
  }
  if (!halves.before && !halves.after) return;
  if (halves.before) raiseState(false);
  {
    Guard guard(lock_);
    store();
  }
  if (halves.after) raiseState(true);
}

void VideoAdapterGDIHWND::setDrawRect(RectIntRecord record) {
  const RectInt rect(record);
  auto compare = [&] { return bothHalvesIf(!rect.sameEdges(drawRect_)); };
  change(compare, [&] { drawRect_ = rect; });
}

void VideoAdapterGDIHWND::setSecondaryRect(RectIntRecord record) {
  const RectInt rect(record);
  auto compare = [&] { return bothHalvesIf(!rect.sameEdges(secondaryRect_)); };
  change(compare, [&] {
    secondaryRectSet_ = true;
    secondaryRect_ = rect;
  });
}

void VideoAdapterGDIHWND::setWindow(WindowHandle window) {
  // A change from or to no window has only the half that concerns a real window.
  auto compare = [&] { return window == window_ ? Halves{false, false} : Halves{window_ != 0, window != 0}; };
  change(compare, [&] { window_ = window; });
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
