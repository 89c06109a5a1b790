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
  frames_.emplace_back(new PooledFrame(this, releases_.enter()));  // under lock_: serials follow frames_
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
  if (!releases_.recordRelease(frame->serial())) return;  // counted; the pixels went already
  std::lock_guard<std::mutex> hold(lock_);
  spare_.emplace_back();
  spare_.back().swap(frame->pixels_);
}

int64_t FramePool::created() const { return releases_.created(); }

int64_t FramePool::released() const { return releases_.released(); }

int64_t FramePool::extraReleases() const { return releases_.extraReleases(); }

bool FramePool::allReleasedExactlyOnce() const { return releases_.allReleasedExactlyOnce(); }

int64_t FramePool::buffersAllocated() const {
  std::lock_guard<std::mutex> hold(lock_);
  return buffersAllocated_;
}

}  // namespace play
