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

bool ClipSource::pull(int32_t code, KMC::PropertyValue* out) {
  (void)code;
  // One pull thread per channel calls this; next_ is only its own.
  int position = next_.load();
  if (position >= frames_->frameCount() || !out) return false;
  *out = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, frames_->make(stream_, position));
  next_.store(position + 1);
  return true;
}

}  // namespace play
