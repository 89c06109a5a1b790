// Pixel memory for bitmaps and scaling buffers, recycled through a small pool.
//
// A player creates and deletes frame-sized bitmaps all the time (two per frame, a back buffer
// per redraw); taking fresh memory for each costs page faults and zero-filling every time.
// A released buffer waits in the pool, and the next request of the same byte size takes it.
// The pool is bounded in bytes and in buffers, and a buffer that no request has wanted for a
// while (sizes changed for good) is freed.
#pragma once
#ifdef _WIN32
#error "posix/software_gdi_pixel_pool.h is the POSIX platform layer"
#endif

#include <cstddef>
#include <cstdint>

namespace gdi {

// An owned buffer of 32-bit pixels, 64-byte aligned, with undefined content. Move-only; the
// memory goes back to the pool when it is released or destroyed. Any thread.
class PixelMemory {
 public:
  PixelMemory() = default;
  // Empty (data() null) when the memory cannot be had.
  static PixelMemory take(size_t pixels);
  ~PixelMemory() { release(); }
  PixelMemory(PixelMemory&& other) noexcept : data_(other.data_), bytes_(other.bytes_) {
    other.data_ = nullptr;
    other.bytes_ = 0;
  }
  PixelMemory& operator=(PixelMemory&& other) noexcept;
  PixelMemory(const PixelMemory&) = delete;
  PixelMemory& operator=(const PixelMemory&) = delete;

  uint32_t* data() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }
  void release();

 private:
  uint32_t* data_ = nullptr;
  size_t bytes_ = 0;
};

// What the pool has done since the process started (or what it holds now).
struct PixelPoolStatistics {
  uint64_t allocations = 0;  // requests served with new memory
  uint64_t reuses = 0;       // requests served from the pool
  size_t pooledBuffers = 0;  // buffers waiting now
  size_t pooledBytes = 0;
};
PixelPoolStatistics pixelPoolStatistics();

// Bounds of the pool.
constexpr size_t kPoolMaxBytes = size_t(96) << 20;
constexpr size_t kPoolMaxBuffers = 8;
// A waiting buffer is freed once this many requests have passed without taking it.
constexpr uint64_t kPoolMaxIdleRequests = 32;

}  // namespace gdi
