// VideoOutput<T>::Port: the object the engine talks to for one stream.
//
// Every operation takes a code (low 16 bits: payload kind) and a PropertyValue pointer and
// answers bool. The port holds only its channel; the control traffic of the stream (connect,
// pause, seek, rectangles, frames) lands in the channel under its queueMutex. Engine threads
// call a port at any time.
#pragma once

#include <cstdint>

#include "abi/interfaces.h"
#include "abi/engine_codes.h"

namespace KMC {

template <typename T>
class VideoOutput<T>::Port final : public PortInterface {
 public:
  explicit Port(Channel* channel) : channel_(channel) {}
  ~Port() = default;

  // Entry 0. The output deletes its ports (removePort, destroy); the engine does not.
  void* deletingDestructor(uint32_t flags) override { return runDeletingDestructor(this, flags); }

  // 0x40000002: a pull channel is ready with 2 or more queued frames, any other channel always.
  // 0x40010006: the last presented start time; false without a value, before the first
  // presentation, or when it is unknown and no seek is pending. Other codes: true.
  bool queryStatus(int32_t code, PropertyValue* value) override;
  // Seek, connect, disconnect, pause, run, flush, reset; every code answers true (a seek
  // without an integer value changes nothing).
  bool portCommand(int32_t code, PropertyValue* value) override;
  // Output rectangle, display factors, surface object, renderer object, the two integer
  // properties. Unknown codes and null payloads: false.
  bool getPortValue(int32_t code, PropertyValue* value) override;
  // Frame delivery, output rectangle, display factors. Unknown codes and null payloads: false.
  bool setPortValue(int32_t code, PropertyValue* value) override;

  Channel* channel() const { return channel_; }

 private:
  typedef typename Channel::QueueLock QueueLock;

  void seek(const PropertyValue& value);
  void reset();

  Channel* channel_;
};

// ------------------------------------------------------------------------------------------------

template <typename T>
bool VideoOutput<T>::Port::queryStatus(int32_t code, PropertyValue* value) {
  Channel& ch = *channel_;
  if (code == kStatusReady) {
    if (!ch.isPull()) return true;
    QueueLock queue(ch.queueMutex_);
    return ch.frameQueue_.size() >= 2;
  }
  if (code == kStatusPosition) {
    if (!value) return false;
    QueueLock queue(ch.queueMutex_);
    if (!ch.hasPresented_) return false;
    if (ch.lastPresentedTime_ < 0 && !ch.seekPending()) return false;
    *value = PropertyValue::ofInt32(ch.lastPresentedTime_);
    return true;
  }
  return true;
}

template <typename T>
void VideoOutput<T>::Port::seek(const PropertyValue& value) {
  Channel& ch = *channel_;
  QueueLock queue(ch.queueMutex_);
  ch.seekTime_ = value.payload.int32;
  ch.lastPresentedTime_ = -1;
  ++ch.pullEpoch_;  // a frame being pulled now comes from before the seek
  if (ch.seekTime_ <= 0) return;
  while (!ch.frameQueue_.empty() &&
         static_cast<uint32_t>(ch.frameQueue_.front()->startTime) < static_cast<uint32_t>(ch.seekTime_)) {
    ch.frameQueue_.front()->release();
    ch.frameQueue_.pop_front();
  }
  if (ch.frameQueue_.empty()) ch.wakeEvent_.set();
}

template <typename T>
void VideoOutput<T>::Port::reset() {
  Channel& ch = *channel_;
  // renderLock: the output thread holds it from presenting a frame until it has reported the
  // frame to the engine, which must not see it released in between. The queue lock keeps the
  // presentation fields consistent for the output thread's next pass.
  LockGuard render(ch.owner->lockManager_, ch.owner->renderLock_, LockMode::Locked);
  QueueLock queue(ch.queueMutex_);
  ch.lastPresentedTime_ = -1;
  ch.seekTime_ = -1;
  ch.hasPresented_ = false;
  if (VideoSample* frame = ch.owner->takeCurrentFrame(&ch)) frame->release();
}

template <typename T>
bool VideoOutput<T>::Port::portCommand(int32_t code, PropertyValue* value) {
  Channel& ch = *channel_;
  switch (code) {
    case kCommandSeek:
      if (value && value->type == kPropertyInt32) seek(*value);
      return true;
    case kCommandConnect:
      ch.connect(value ? static_cast<UpstreamSource*>(value->payload.pointer) : nullptr);
      return true;
    case kCommandDisconnect:
      ch.disconnect();
      return true;
    case kCommandPause:
      ch.paused_.store(true);
      return true;
    case kCommandRun:
      ch.paused_.store(false);
      return true;
    case kCommandFlush:
      ch.flushQueue();
      ch.wakeEvent_.set();
      return true;
    case kCommandReset:
      reset();
      return true;
    default:
      return true;
  }
}

template <typename T>
bool VideoOutput<T>::Port::getPortValue(int32_t code, PropertyValue* value) {
  Channel& ch = *channel_;
  if (!value) return false;
  switch (code) {
    case kValueGetOutputRect: {
      RectFloatRecord* out = static_cast<RectFloatRecord*>(value->payload.pointer);
      if (!out) return false;
      QueueLock queue(ch.queueMutex_);
      ch.outputRect.storeInto(out);
      return true;
    }
    case kValueGetDisplayFactors: {
      MaskedFloat4* out = static_cast<MaskedFloat4*>(value->payload.pointer);
      if (!out) return false;
      QueueLock queue(ch.queueMutex_);
      out->merge(ch.displayFactors);
      return true;
    }
    case kValueSurfaceObject:
      *value = PropertyValue::ofPointer(kPropertyObject, ch.owner->surfaceObject());
      return true;
    case kValueRendererObject: {
      QueueLock queue(ch.queueMutex_);
      if (!ch.rendererObject) return false;
      *value = PropertyValue::ofPointer(kPropertyObject, ch.rendererObject);
      return true;
    }
    case kValueIntegerA:
      *value = PropertyValue::ofInt32(ch.owner->integerPropertyA_);
      return true;
    case kValueIntegerB:
      *value = PropertyValue::ofInt32(ch.owner->integerPropertyB_);
      return true;
    default:
      return false;
  }
}

template <typename T>
bool VideoOutput<T>::Port::setPortValue(int32_t code, PropertyValue* value) {
  Channel& ch = *channel_;
  if (!value) return false;
  switch (code) {
    case kValueDeliverFrame: {
      VideoSample* frame = static_cast<VideoSample*>(value->payload.pointer);
      if (!frame) return false;
      QueueLock queue(ch.queueMutex_);
      if (frame->startTime == 0) ch.flushQueue();  // an untimed frame goes next
      ch.frameQueue_.push_back(frame);
      return true;
    }
    case kValueSetOutputRect: {
      const RectFloatRecord* record = static_cast<const RectFloatRecord*>(value->payload.pointer);
      if (!record) return false;
      const RectFloat rect(*record);
      QueueLock queue(ch.queueMutex_);
      if (!rect.sameEdges(ch.outputRect)) {
        ch.outputRect = rect;
        ch.geometryDirty_ = true;
      }
      return true;
    }
    case kValueSetDisplayFactors: {
      const MaskedFloat4* factors = static_cast<const MaskedFloat4*>(value->payload.pointer);
      if (!factors) return false;
      QueueLock queue(ch.queueMutex_);
      bool same = true;
      for (int i = 0; i < 4; ++i) same = same && (*factors)[i] == ch.displayFactors[i];
      if (!same) {
        ch.displayFactors = *factors;
        ch.geometryDirty_ = true;
      }
      return true;
    }
    default:
      return false;
  }
}

}  // namespace KMC
