// The engine's frames: an owned pixel buffer in the VideoSample field layout, and the ledger
// that proves every frame is released exactly once.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "abi/engine_objects.h"
#include "engine/release_ledger.h"

namespace host {

class SampleLedger;

// A frame of width x height 32-bit pixels ("BGRA"/"BGRX" byte order) with stride = width.
// Made and owned by a SampleLedger: release() only records the release, so a second release
// is detected instead of touching freed memory. The ledger frees its samples when it goes.
class OwnedVideoSample final : public KMC::VideoSample {
 public:
  // Entry 0 of the engine object (abi/abi.h); the plug-in never calls it.
  void* deletingDestructor(uint32_t flags) override { return KMC::runDeletingDestructor(this, flags); }
  int32_t release() override;
  uint32_t* data() override { return pixels_.data(); }
  int32_t dataDone() override { return 0; }

  // Every pixel set to value.
  void fill(uint32_t value);
  void setPixel(int32_t x, int32_t y, uint32_t value) { pixels_[static_cast<size_t>(y) * stride + x] = value; }
  uint32_t pixel(int32_t x, int32_t y) const { return pixels_[static_cast<size_t>(y) * stride + x]; }

  // Serial number within its ledger (creation order, from 0).
  int64_t serial() const { return serial_; }
  // How many times release() was called.
  int32_t releaseCount() const;

 private:
  friend class SampleLedger;
  OwnedVideoSample(SampleLedger* ledger, int64_t serial, int32_t width, int32_t height);

  SampleLedger* ledger_;
  int64_t serial_;
  std::vector<uint32_t> pixels_;
};

// Makes frames and counts their releases. Thread-safe.
class SampleLedger {
 public:
  SampleLedger() = default;
  SampleLedger(const SampleLedger&) = delete;
  SampleLedger& operator=(const SampleLedger&) = delete;

  // A new frame (usable word 1, no picture rectangle, crop (0, 0, 1, 1)); owned by the ledger.
  OwnedVideoSample* make(int32_t startTime, uint32_t duration, int32_t width = 4, int32_t height = 4);

  int64_t created() const;
  // Frames released at least once.
  int64_t released() const;
  // Release calls beyond the first, over all frames.
  int64_t doubleReleases() const;
  // Frames not released yet.
  std::vector<const OwnedVideoSample*> unreleased() const;
  // Every frame made so far was released exactly once.
  bool allReleasedExactlyOnce() const;

 private:
  friend class OwnedVideoSample;
  int32_t recordRelease(const OwnedVideoSample* sample);
  int32_t releaseCountOf(const OwnedVideoSample* sample) const;

  mutable std::mutex lock_;                                 // guards samples_
  std::vector<std::unique_ptr<OwnedVideoSample>> samples_;  // by serial
  ReleaseLedger releases_;
};

}  // namespace host
