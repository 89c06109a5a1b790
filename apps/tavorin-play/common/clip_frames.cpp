#include "clip_frames.h"

namespace play {

PooledFrame* ClipFrames::makeFrame(int stream, int frame) const {
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
  if (exhausted()) return false;
  int frame = next_.load();
  *start = frames_->timing().startTime(frame);
  *duration = frames_->timing().duration(frame);
  return true;
}

KMC::VideoSample* ClipFeed::takeNext() {
  if (exhausted()) return nullptr;
  int index = next_.load();
  PooledFrame* frame = frames_->makeFrame(stream_, index);
  next_.store(index + step_.load());
  return frame;
}

bool ClipFeed::restartAt(int32_t time, bool backwards) {
  next_.store(frames_->timing().frameAtTime(time));
  step_.store(backwards ? -1 : 1);
  return true;
}

}  // namespace play
