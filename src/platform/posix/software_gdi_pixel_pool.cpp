// The pixel memory pool: released buffers wait here, keyed by byte size, for the next request
// of that size.
#ifdef _WIN32
#error "posix/software_gdi_pixel_pool.cpp is the POSIX platform layer"
#endif
#include "platform/posix/software_gdi_pixel_pool.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace gdi {

namespace {

struct Waiting {
  void* data;
  size_t bytes;
  uint64_t returnedAt;  // request count when it came back
};

class Pool {
 public:
  void* take(size_t bytes) {
    std::vector<void*> stale;
    void* found = nullptr;
    {
      std::lock_guard<std::mutex> guard(mutex_);
      ++requests_;
      // The most recently returned buffer of this size: its pages are the likeliest to be warm.
      auto match = std::find_if(waiting_.rbegin(), waiting_.rend(),
                                [&](const Waiting& w) { return w.bytes == bytes; });
      if (match != waiting_.rend()) {
        found = match->data;
        pooledBytes_ -= match->bytes;
        waiting_.erase(std::next(match).base());
        ++statistics_.reuses;
      } else {
        ++statistics_.allocations;
      }
      dropIdle(stale);
    }
    for (void* p : stale) std::free(p);
    return found != nullptr ? found : std::aligned_alloc(64, bytes);
  }

  void give(void* data, size_t bytes) {
    std::vector<void*> evicted;
    {
      std::lock_guard<std::mutex> guard(mutex_);
      waiting_.push_back({data, bytes, requests_});
      pooledBytes_ += bytes;
      // Over a bound: the buffer that waited longest goes first (the list is in return order).
      while (waiting_.size() > kPoolMaxBuffers || pooledBytes_ > kPoolMaxBytes) {
        evicted.push_back(waiting_.front().data);
        pooledBytes_ -= waiting_.front().bytes;
        waiting_.erase(waiting_.begin());
      }
    }
    for (void* p : evicted) std::free(p);
  }

  PixelPoolStatistics statistics() {
    std::lock_guard<std::mutex> guard(mutex_);
    PixelPoolStatistics s = statistics_;
    s.pooledBuffers = waiting_.size();
    s.pooledBytes = pooledBytes_;
    return s;
  }

 private:
  // with mutex_; moves buffers nobody asked for in kPoolMaxIdleRequests requests to `stale`.
  void dropIdle(std::vector<void*>& stale) {
    auto idle = [&](const Waiting& w) { return requests_ - w.returnedAt > kPoolMaxIdleRequests; };
    for (const Waiting& w : waiting_) {
      if (!idle(w)) continue;
      stale.push_back(w.data);
      pooledBytes_ -= w.bytes;
    }
    waiting_.erase(std::remove_if(waiting_.begin(), waiting_.end(), idle), waiting_.end());
  }

  std::mutex mutex_;
  std::vector<Waiting> waiting_;  // in the order they came back
  size_t pooledBytes_ = 0;
  uint64_t requests_ = 0;
  PixelPoolStatistics statistics_;
};

// Never destroyed: other threads may still release bitmaps while the process exits.
Pool& pool() {
  static Pool* p = new Pool;
  return *p;
}

}  // namespace

PixelMemory PixelMemory::take(size_t pixels) {
  PixelMemory memory;
  if (pixels > (SIZE_MAX - 63) / 4) return memory;
  const size_t bytes = (std::max<size_t>(pixels, 1) * 4 + 63) / 64 * 64;
  memory.data_ = static_cast<uint32_t*>(pool().take(bytes));
  if (memory.data_ != nullptr) memory.bytes_ = bytes;
  return memory;
}

PixelMemory& PixelMemory::operator=(PixelMemory&& other) noexcept {
  if (this != &other) {
    release();
    data_ = other.data_;
    bytes_ = other.bytes_;
    other.data_ = nullptr;
    other.bytes_ = 0;
  }
  return *this;
}

void PixelMemory::release() {
  if (data_ != nullptr) pool().give(data_, bytes_);
  data_ = nullptr;
  bytes_ = 0;
}

PixelPoolStatistics pixelPoolStatistics() { return pool().statistics(); }

}  // namespace gdi
