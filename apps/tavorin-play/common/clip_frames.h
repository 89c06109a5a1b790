// Makes the clip's frames as engine frames, stream by stream, in play order; and the feed
// that hands one stream's frames to a channel.
#pragma once

#include <atomic>
#include <cstdint>

#include "clip.h"
#include "frame_feed.h"
#include "frame_pool.h"
#include "abi/engine_objects.h"

namespace play {

// Streams 0 .. pictureChannels - 1 are pictures, stream pictureChannels is the overlay.
// Thread-safe: pull threads make frames concurrently.
class ClipFrames {
 public:
  ClipFrames(FramePool* pool, const ClipTiming& timing, int width, int height, int pictureChannels, bool reverse)
      : pool_(pool), timing_(timing), width_(width), height_(height), pictures_(pictureChannels), reverse_(reverse) {}

  int frameCount() const { return timing_.frameCount(); }
  // The clip frame shown at position (0 = first played): backwards play starts at the end.
  int frameAt(int position) const { return reverse_ ? timing_.frameCount() - 1 - position : position; }
  bool isOverlay(int stream) const { return stream == pictures_; }
  const ClipTiming& timing() const { return timing_; }

  bool reverse() const { return reverse_; }

  // The frame of stream at play position, drawn and timed; owned by the pool.
  PooledFrame* make(int stream, int position) const { return makeFrame(stream, frameAt(position)); }
  // Clip frame `frame` of stream, drawn and timed; owned by the pool.
  PooledFrame* makeFrame(int stream, int frame) const;

 private:
  FramePool* pool_;
  ClipTiming timing_;
  int width_, height_;
  int pictures_;
  bool reverse_;
};

// One stream of the clip as a feed: its frames in play order, each made when it is taken.
class ClipFeed : public FrameFeed {
 public:
  ClipFeed(const ClipFrames* frames, int stream)
      : FrameFeed(frames->reverse()), frames_(frames), stream_(stream), next_(frames->frameAt(0)), step_(frames->reverse() ? -1 : 1) {}

  bool nextTiming(int32_t* start, uint32_t* duration) override;
  bool exhausted() const override {
    int next = next_.load();
    return next < 0 || next >= frames_->frameCount();
  }
  const char* fourCC() const override { return frames_->isOverlay(stream_) ? "BGRA" : "BGRX"; }
  double period() const override { return frames_->timing().period(); }

 protected:
  KMC::VideoSample* takeNext() override;
  bool restartAt(int32_t time, bool backwards) override;

 private:
  const ClipFrames* frames_;
  int stream_;
  std::atomic<int> next_;  // clip frame taken next; written by the taking thread
  std::atomic<int> step_;  // +1 forwards, -1 backwards
};

}  // namespace play
