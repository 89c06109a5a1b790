#include "frame_feed.h"

#include "frame_pool.h"

namespace play {

KMC::VideoSample* FrameFeed::take() {
  KMC::VideoSample* frame = takeNext();
  if (!frame) return nullptr;
  // Every feed makes its frames in the player's pool.
  PooledFrame* pooled = static_cast<PooledFrame*>(frame);
  pooled->segment = segment_.load();
  pooled->backwards = backwards_.load();
  lastStart_.store(frame->startTime);
  lastEnd_.store(endOf(frame));
  handedOut_.fetch_add(1);
  return frame;
}

bool FrameFeed::reposition(int32_t time, bool backwards, int32_t segment) {
  segment_.store(segment);
  backwards_.store(backwards);
  return restartAt(time, backwards);
}

void FeedSource::hold(bool held) {
  std::lock_guard<std::mutex> guard(lock_);
  held_ = held;
}

bool FeedSource::pull(int32_t code, KMC::PropertyValue* out) {
  (void)code;
  std::lock_guard<std::mutex> guard(lock_);
  if (!out || held_) return false;
  KMC::VideoSample* frame = feed_->take();
  if (!frame) return false;
  *out = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, frame);
  return true;
}

}  // namespace play
