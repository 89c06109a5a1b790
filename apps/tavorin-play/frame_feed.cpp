#include "frame_feed.h"

namespace play {

KMC::VideoSample* FrameFeed::take() {
  KMC::VideoSample* frame = takeNext();
  if (!frame) return nullptr;
  lastStart_.store(frame->startTime);
  lastEnd_.store(endOf(frame));
  handedOut_.fetch_add(1);
  return frame;
}

bool FeedSource::pull(int32_t code, KMC::PropertyValue* out) {
  (void)code;
  if (!out) return false;
  KMC::VideoSample* frame = feed_->take();
  if (!frame) return false;
  *out = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, frame);
  return true;
}

}  // namespace play
