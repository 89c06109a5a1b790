#include "player_context.h"

#include "abi/engine_codes.h"
#include "engine/engine_values.h"
#include "frame_pool.h"

namespace play {

PlayerContext::PlayerContext(KMC::MediaClock* clock, KMC::WindowHandle window, int32_t width, int32_t height,
                             TimingLog* timing)
    : host::EngineContext(clock), clock_(clock), window_(window), timing_(timing), width_(width), height_(height) {}

int32_t PlayerContext::setVideoAdapter(KMC::VideoAdapterUnknown* adapter) {
  host::EngineContext::setVideoAdapter(adapter);
  // The only kind this engine chooses is the window-handle adapter.
  KMC::VideoAdapterHWND* hwnd = static_cast<KMC::VideoAdapterHWND*>(adapter);
  if (hwnd) {
    hwnd->setDrawRect(host::rectInt(0, 0, width_ - 1, height_ - 1));
    hwnd->setWindow(window_);
  }
  adapter_.store(hwnd);
  return 0;
}

void PlayerContext::resizeDrawing(int32_t width, int32_t height) {
  width_ = width;
  height_ = height;
  if (KMC::VideoAdapterHWND* hwnd = adapter_.load()) hwnd->setDrawRect(host::rectInt(0, 0, width - 1, height - 1));
}

int32_t PlayerContext::channelEvent(int32_t channelId, int32_t code, KMC::VideoSample* object) {
  if ((code != KMC::kEventPresented && code != KMC::kEventDroppedLate) || !object) return 0;
  int64_t now = clock_->currentTime();
  bool backwards = clock_->rate() < 0;
  int64_t due = backwards ? static_cast<int64_t>(object->startTime) + object->duration : object->startTime;
  int32_t late = static_cast<int32_t>(backwards ? due - now : now - due);
  bool dropped = code == KMC::kEventDroppedLate;
  if (timing_) timing_->frame(channelId, due, late, dropped, backwards);
  std::lock_guard<std::mutex> hold(lock_);
  Tally& tally = tallies_[channelId];
  if (dropped) {
    ++tally.dropped;
    return 0;
  }
  ++tally.presented;
  tally.lateness.add(late);
  // Every frame the output gets is one of the player's pooled frames.
  const PooledFrame* frame = static_cast<const PooledFrame*>(object);
  if (frame->segment == tally.lastSegment &&
      (frame->backwards ? frame->startTime >= tally.lastStart : frame->startTime <= tally.lastStart)) {
    ++tally.outOfOrder;
  }
  tally.lastSegment = frame->segment;
  tally.lastStart = frame->startTime;
  return 0;
}

PlayerContext::Tally PlayerContext::tally(int32_t channelId) const {
  std::lock_guard<std::mutex> hold(lock_);
  if (channelId != -1) {
    auto found = tallies_.find(channelId);
    return found == tallies_.end() ? Tally() : found->second;
  }
  Tally total;
  for (const auto& entry : tallies_) {
    total.presented += entry.second.presented;
    total.dropped += entry.second.dropped;
    total.outOfOrder += entry.second.outOfOrder;
    total.lateness.merge(entry.second.lateness);
  }
  return total;
}

int64_t PlayerContext::presented() const {
  std::lock_guard<std::mutex> hold(lock_);
  int64_t count = 0;
  for (const auto& entry : tallies_) count += entry.second.presented;
  return count;
}

int64_t PlayerContext::dropped() const {
  std::lock_guard<std::mutex> hold(lock_);
  int64_t count = 0;
  for (const auto& entry : tallies_) count += entry.second.dropped;
  return count;
}

int64_t PlayerContext::accountedFor(int32_t channelId) const {
  std::lock_guard<std::mutex> hold(lock_);
  auto found = tallies_.find(channelId);
  return found == tallies_.end() ? 0 : found->second.presented + found->second.dropped;
}

int32_t PlayerContext::lastPresentedSegment(int32_t channelId) const {
  std::lock_guard<std::mutex> hold(lock_);
  auto found = tallies_.find(channelId);
  return found == tallies_.end() ? -1 : found->second.lastSegment;
}

}  // namespace play
