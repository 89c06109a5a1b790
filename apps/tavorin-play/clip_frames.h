// Makes the clip's frames as engine frames, stream by stream, in play order; and the upstream
// source that hands them to a pull channel.
#pragma once

#include <atomic>
#include <cstdint>

#include "clip.h"
#include "frame_pool.h"
#include "framework/engine_objects.h"

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

  // The frame of stream at play position, drawn and timed; owned by the pool.
  PooledFrame* make(int stream, int position) const;

 private:
  FramePool* pool_;
  ClipTiming timing_;
  int width_, height_;
  int pictures_;
  bool reverse_;
};

// Hands out one stream's frames in play order, one per pull; answers false ("nothing now")
// once the clip is over.
class ClipSource : public KMC::UpstreamSource {
 public:
  ClipSource(const ClipFrames* frames, int stream) : frames_(frames), stream_(stream) {}

  bool pull(int32_t code, KMC::PropertyValue* out) override;

  // Frames handed out so far.
  int64_t handedOut() const { return next_.load(); }

 private:
  const ClipFrames* frames_;
  int stream_;
  std::atomic<int> next_{0};
};

}  // namespace play
