// One stream's frames as the engine hands them to a channel, in play order, whatever makes
// them (the built-in clip or a decoder); and the upstream source that lets a pull channel take
// them from a feed.
//
// A push feeder asks nextTiming() to decide whether the next frame is due for delivery, then
// take()s it; a pull channel's thread take()s through FeedSource. One thread at a time takes
// from a feed; the counters may be read from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "abi/engine_objects.h"

namespace play {

class FrameFeed {
 public:
  // backwards: the feed starts out playing in falling time order.
  explicit FrameFeed(bool backwards = false) : backwards_(backwards) {}
  virtual ~FrameFeed() = default;

  // True with the next frame's start time and duration (media milliseconds) when a frame is
  // ready to be taken now; false when none is ready yet or none will come.
  virtual bool nextTiming(int32_t* start, uint32_t* duration) = 0;
  // The frame nextTiming described; the taker owns one reference. Null when none is ready.
  // The frame is tagged with the feed's segment and direction (see PooledFrame).
  KMC::VideoSample* take();
  // Starts the feed over at media time `time`, forwards or backwards: the next frame is the
  // one shown at that time (or the nearest the feed has). Frames made and not taken are
  // released; later frames are tagged `segment`. No frame may be taken meanwhile (the player
  // holds its feeder and the pull source). False when the feed cannot go there.
  bool reposition(int32_t time, bool backwards, int32_t segment);
  // No frame will come any more: everything was taken.
  virtual bool exhausted() const = 0;

  // "BGRX" or "BGRA".
  virtual const char* fourCC() const = 0;
  // The nominal distance between frames in media milliseconds (sets how far ahead of the
  // clock frames are delivered).
  virtual double period() const = 0;
  // Display aspect ratio (width over height) of the latest picture, sample aspect applied;
  // 0 when the picture simply fills its tile.
  virtual double displayAspect() const { return 0; }

  // Frames taken so far.
  int64_t handedOut() const { return handedOut_.load(); }
  // Start and end (start + duration) of the frame taken last; 0 before the first.
  int32_t lastStart() const { return lastStart_.load(); }
  int64_t lastEnd() const { return lastEnd_.load(); }

 protected:
  // The next frame, removed from the feed; null when none is ready.
  virtual KMC::VideoSample* takeNext() = 0;
  // reposition's work for the kind of feed.
  virtual bool restartAt(int32_t time, bool backwards) = 0;
  // When frame, just taken, stops being shown in play: its start plus its duration.
  virtual int64_t endOf(const KMC::VideoSample* frame) const {
    return static_cast<int64_t>(frame->startTime) + frame->duration;
  }

 private:
  std::atomic<int64_t> handedOut_{0};
  std::atomic<int32_t> lastStart_{0};
  std::atomic<int64_t> lastEnd_{0};
  std::atomic<int32_t> segment_{0};
  std::atomic<bool> backwards_;
};

// The upstream source of a pull channel: one frame of the feed per pull; answers false
// ("nothing now") while the feed has none ready, or while the engine holds it.
class FeedSource final : public KMC::UpstreamSource {
 public:
  // Entry 0 of the engine object (abi/abi.h); the plug-in never calls it.
  void* deletingDestructor(uint32_t flags) override { return KMC::runDeletingDestructor(this, flags); }
  explicit FeedSource(FrameFeed* feed) : feed_(feed) {}

  bool pull(int32_t code, KMC::PropertyValue* out) override;
  // While held, pulls answer "nothing now"; hold(true) returns once no pull is taking a frame,
  // so the feed can be repositioned under the channel's thread.
  void hold(bool held);

 private:
  FrameFeed* feed_;
  std::mutex lock_;  // held across a pull's take
  bool held_ = false;
};

}  // namespace play
