// The count that proves every frame is released exactly once, for whoever makes frames: the
// engine stand-in's SampleLedger (frames that keep their pixels) and the player's FramePool
// (frames whose pixels are recycled). Thread-safe.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace host {

class ReleaseLedger {
 public:
  ReleaseLedger() = default;
  ReleaseLedger(const ReleaseLedger&) = delete;
  ReleaseLedger& operator=(const ReleaseLedger&) = delete;

  // Enters a new frame; answers its serial (0, 1, 2, ... in the order entered).
  int64_t enter();
  // Counts one release of the frame; answers true for its first release.
  bool recordRelease(int64_t serial);
  // How often the frame was released so far.
  int32_t releaseCount(int64_t serial) const;

  int64_t created() const;
  // Frames released at least once.
  int64_t released() const;
  // Release calls beyond the first, over all frames.
  int64_t extraReleases() const;
  // Serials of the frames not released yet.
  std::vector<int64_t> unreleased() const;
  // Every frame entered so far was released exactly once.
  bool allReleasedExactlyOnce() const;

 private:
  mutable std::mutex lock_;
  std::vector<int32_t> releaseCounts_;  // by serial
  int64_t released_ = 0;
  int64_t extraReleases_ = 0;
};

}  // namespace host
