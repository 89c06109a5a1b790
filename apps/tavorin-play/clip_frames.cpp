#include "clip_frames.h"

namespace play {

PooledFrame* ClipFrames::make(int stream, int position) const {
  int frame = frameAt(position);
  PooledFrame* sample = pool_->make(timing_.startTime(frame), timing_.duration(frame), width_, height_);
  PixelBuffer target{sample->data(), width_, height_, width_};
  if (isOverlay(stream)) {
    drawOverlay(target, frame);
  } else {
    drawPicture(target, frame, stream);
  }
  return sample;
}

bool ClipFeed::nextTiming(int32_t* start, uint32_t* duration) {
  int position = next_.load();
  if (position >= frames_->frameCount()) return false;
  int frame = frames_->frameAt(position);
  *start = frames_->timing().startTime(frame);
  *duration = frames_->timing().duration(frame);
  return true;
}

KMC::VideoSample* ClipFeed::takeNext() {
  int position = next_.load();
  if (position >= frames_->frameCount()) return nullptr;
  PooledFrame* frame = frames_->make(stream_, position);
  next_.store(position + 1);
  return frame;
}

}  // namespace play
