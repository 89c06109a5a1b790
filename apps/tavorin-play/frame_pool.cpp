#include "frame_pool.h"
#include "engine/engine_values.h"

namespace play {

int32_t PooledFrame::release() {
  pool_->recordRelease(this);
  return 0;
}

PooledFrame* FramePool::make(int32_t startTime, uint32_t duration, int32_t width, int32_t height, int32_t stride) {
  if (stride < width) stride = width;
  size_t count = static_cast<size_t>(stride > 0 ? stride : 1) * static_cast<size_t>(height > 0 ? height : 1);
  std::vector<uint32_t> pixels;
  {
    std::lock_guard<std::mutex> hold(lock_);
    for (size_t i = spare_.size(); i-- > 0;) {
      if (spare_[i].size() == count) {
        pixels.swap(spare_[i]);
        spare_.erase(spare_.begin() + static_cast<std::ptrdiff_t>(i));
        break;
      }
    }
    if (pixels.empty()) ++buffersAllocated_;
  }
  if (pixels.empty()) pixels.resize(count);

  std::lock_guard<std::mutex> hold(lock_);
  frames_.emplace_back(new PooledFrame(this, static_cast<int64_t>(frames_.size())));
  releaseCounts_.push_back(0);
  PooledFrame* frame = frames_.back().get();
  frame->pixels_.swap(pixels);
  frame->usable = 1;
  frame->startTime = startTime;
  frame->duration = duration;
  frame->width = width;
  frame->height = height;
  frame->stride = stride;
  frame->crop = host::rectFloat(0, 0, 1, 1);
  return frame;
}

void FramePool::recordRelease(PooledFrame* frame) {
  std::lock_guard<std::mutex> hold(lock_);
  int32_t& count = releaseCounts_[static_cast<size_t>(frame->serial())];
  if (++count > 1) {
    ++extraReleases_;
    return;
  }
  ++released_;
  spare_.emplace_back();
  spare_.back().swap(frame->pixels_);
}

int64_t FramePool::created() const {
  std::lock_guard<std::mutex> hold(lock_);
  return static_cast<int64_t>(frames_.size());
}

int64_t FramePool::released() const {
  std::lock_guard<std::mutex> hold(lock_);
  return released_;
}

int64_t FramePool::extraReleases() const {
  std::lock_guard<std::mutex> hold(lock_);
  return extraReleases_;
}

bool FramePool::allReleasedExactlyOnce() const {
  std::lock_guard<std::mutex> hold(lock_);
  return extraReleases_ == 0 && released_ == static_cast<int64_t>(frames_.size());
}

int64_t FramePool::buffersAllocated() const {
  std::lock_guard<std::mutex> hold(lock_);
  return buffersAllocated_;
}

}  // namespace play
