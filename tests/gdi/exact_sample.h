// A frame whose pixel buffer is exactly as large as its own fields say (height rows of stride
// pixels) or smaller, on the heap, so that a read past it is caught by AddressSanitizer. Its
// size fields can then be set to anything, however untrue.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>

#include "abi/engine_objects.h"
#include "engine/engine_values.h"

namespace gdi_testing {

class ExactSample final : public KMC::VideoSample {
 public:
  // Entry 0 of the engine object (abi/abi.h); the plug-in never calls it.
  void* deletingDestructor(uint32_t flags) override { return KMC::runDeletingDestructor(this, flags); }
  // A buffer of pixelCount pixels, each set to colour.
  ExactSample(size_t pixelCount, uint32_t colour) : count_(pixelCount) {
    pixels_ = static_cast<uint32_t*>(std::malloc((pixelCount ? pixelCount : 1) * sizeof(uint32_t)));
    for (size_t i = 0; i < pixelCount; ++i) pixels_[i] = colour;
    usable = 1;
    startTime = 1000;
    duration = 40;
    crop = host::rectFloat(0, 0, 1, 1);
  }
  ~ExactSample() { std::free(pixels_); }
  ExactSample(const ExactSample&) = delete;
  ExactSample& operator=(const ExactSample&) = delete;

  int32_t release() override { return ++releases_; }
  uint32_t* data() override { return pixels_ + first_; }
  int32_t dataDone() override { return 0; }

  void setSize(int32_t w, int32_t h, int32_t rowStride) {
    width = w;
    height = h;
    stride = rowStride;
  }
  // The frame's first pixel is the buffer's pixel at index (the last row's start, for rows
  // stored upwards).
  void setFirstPixel(size_t index) { first_ = index; }
  uint32_t* buffer() { return pixels_; }
  int32_t releases() const { return releases_.load(); }
  size_t pixelCount() const { return count_; }

 private:
  uint32_t* pixels_;
  size_t count_;
  size_t first_ = 0;
  std::atomic<int32_t> releases_{0};
};

}  // namespace gdi_testing
