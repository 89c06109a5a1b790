// VideoOutput<T>::ChannelOwner: what a channel and its port may use of their output. Part of
// video_output.h.
//
// A channel keeps one of these instead of a pointer to the output, so everything it and its
// port do to the output goes through the few operations below: the clock and the frame
// tolerance of the schedule, the notices the engine hears after a pass, leaving the selection,
// the two locks they take, the integer properties, and the renderer operations the contract
// lets them call. Each operation's thread and locks are those of the caller's contract
// (abi/interfaces.h for the ports, video_output.h for the renderer operations).
#pragma once

#include <cstdint>

#include "abi/engine_codes.h"

namespace KMC {

template <typename T>
class VideoOutput<T>::ChannelOwner {
 public:
  explicit ChannelOwner(VideoOutput& output) : output_(output) {}

  bool belongsTo(const VideoOutput* output) const { return &output_ == output; }

  // The frame schedule's inputs (output thread).
  MediaClock* clock() const { return output_.clock_; }
  int32_t frameTolerance() const { return output_.frameTolerance_; }

  // With renderLock and selectionLock (output thread): what the engine is to hear about the
  // pass, raised after it.
  void addNotice(const Notice& notice) { output_.notices_.push_back(notice); }

  // With selectionLock: channel is presented no more.
  void deselect(Channel* channel) { output_.selectedChannels_.remove(channel); }

  // The locks a channel or port takes, in the output's order: renderLock, then selectionLock.
  PolicyLockManager& lockManager() const { return output_.lockManager_; }
  LockId renderLock() const { return output_.renderLock_; }
  LockId selectionLock() const { return output_.selectionLock_; }
  // Whether the calling thread has a guard on a lock of the output (and may so hold one).
  bool callerMayHoldALock() const { return output_.lockManager_.hasThreadLockList(); }

  // The value of port value kValueIntegerA or kValueIntegerB.
  int32_t integerProperty(int32_t code) const {
    return code == kValueIntegerA ? output_.integerPropertyA_ : output_.integerPropertyB_;
  }

  // The renderer operations a channel and its port call.
  bool geometryChanged(Channel* channel, const RectFloat* source) {
    return output_.geometryChanged(channel, source);
  }
  VideoSample* acceptFrame(Channel* channel, VideoSample* frame) {
    return output_.acceptFrame(channel, frame);
  }
  VideoSample* convertFrame(Channel* channel, VideoSample* frame) {
    return output_.convertFrame(channel, frame);
  }
  VideoSample* takeCurrentFrame(Channel* channel) { return output_.takeCurrentFrame(channel); }
  void* surfaceObject() { return output_.surfaceObject(); }

 private:
  VideoOutput& output_;
};

}  // namespace KMC
