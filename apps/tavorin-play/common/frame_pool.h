// The player's frames: VideoSample objects whose pixel buffers go back to a pool at their
// first release, with a ledger that counts every release.
//
// The engine stand-in's sample ledger keeps every pixel buffer until it goes, which is right
// for tests but not for a player that makes thousands of large frames. Here a frame's pixels
// are recycled on its first release (so a long clip needs only as many buffers as are in
// flight, and no fresh pages per frame), while the small frame record stays until the pool
// goes, so a second release is counted instead of touching freed memory.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "abi/engine_objects.h"
#include "engine/release_ledger.h"

namespace play {

class FramePool;

class PooledFrame final : public KMC::VideoSample {
 public:
  // Entry 0 of the engine object (abi/abi.h); the plug-in never calls it.
  void* deletingDestructor(uint32_t flags) override { return KMC::runDeletingDestructor(this, flags); }
  int32_t release() override;
  uint32_t* data() override { return pixels_.data(); }
  int32_t dataDone() override { return 0; }

  int64_t serial() const { return serial_; }

  // Which stretch of play the frame belongs to: the feed's reposition count when it was taken,
  // and whether that stretch plays backwards. Frames of one stretch are presented in its order.
  int32_t segment = 0;
  bool backwards = false;

 private:
  friend class FramePool;
  PooledFrame(FramePool* pool, int64_t serial) : pool_(pool), serial_(serial) {}

  FramePool* pool_;
  int64_t serial_;
  std::vector<uint32_t> pixels_;
};

// Thread-safe: frames are made on the feeding thread and released on the output thread.
class FramePool {
 public:
  FramePool() = default;
  FramePool(const FramePool&) = delete;
  FramePool& operator=(const FramePool&) = delete;

  // A new usable frame of width x height pixels, rows stride pixels apart (0: stride = width),
  // crop 0,0,1,1, no picture rectangle; the pixels are left as the last user wrote them.
  // Owned by the pool.
  PooledFrame* make(int32_t startTime, uint32_t duration, int32_t width, int32_t height, int32_t stride = 0);

  int64_t created() const;
  // Frames released at least once.
  int64_t released() const;
  // Release calls beyond the first, over all frames.
  int64_t extraReleases() const;
  // Every frame made so far was released exactly once.
  bool allReleasedExactlyOnce() const;
  // Pixel buffers allocated so far (a measure of how well recycling works).
  int64_t buffersAllocated() const;

 private:
  friend class PooledFrame;
  void recordRelease(PooledFrame* frame);

  mutable std::mutex lock_;                           // guards the members below it
  std::vector<std::unique_ptr<PooledFrame>> frames_;  // by serial
  std::vector<std::vector<uint32_t>> spare_;
  int64_t buffersAllocated_ = 0;
  host::ReleaseLedger releases_;                      // its own lock
};

}  // namespace play
