// VideoOutput<T>::Port: the object the engine talks to for one stream. Part of video_output.h.
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
  void reset();
  // Calls use(*object) with the object the payload points at; false, doing nothing, for null.
  template <typename Object, typename Use>
  static bool withPayload(PropertyValue* value, Use use) {
    Object* object = static_cast<Object*>(value->payload.pointer);
    if (!object) return false;
    use(*object);
    return true;
  }

  Channel* channel_;
};

// ------------------------------------------------------------------------------------------------

template <typename T>
bool VideoOutput<T>::Port::queryStatus(int32_t code, PropertyValue* value) {
  Channel& ch = *channel_;
  if (code == kStatusReady) return !ch.isPull() || ch.queuedFrames() >= 2;
  if (code == kStatusPosition) {
    if (!value) return false;
    int32_t time = 0;
    if (!ch.presentedPosition(time)) return false;
    *value = PropertyValue::ofInt32(time);
    return true;
  }
  return true;
}

template <typename T>
void VideoOutput<T>::Port::reset() {
  Channel& ch = *channel_;
  // renderLock: the output thread holds it from presenting a frame until it has reported the
  // frame to the engine, which must not see it released in between. The queue lock keeps the
  // presentation fields consistent for the output thread's next pass.
  LockGuard render(ch.owner().lockManager(), ch.owner().renderLock(), LockMode::Locked);
  typename Channel::QueueLock queue(ch.queueMutex());
  ch.resetPresentation();
  if (VideoSample* frame = ch.owner().takeCurrentFrame(&ch)) frame->release();
}

template <typename T>
bool VideoOutput<T>::Port::portCommand(int32_t code, PropertyValue* value) {
  Channel& ch = *channel_;
  switch (code) {
    case kCommandSeek:
      if (value && value->type == kPropertyInt32) ch.seekTo(value->payload.int32);
      return true;
    case kCommandConnect:
      ch.connect(value ? static_cast<UpstreamSource*>(value->payload.pointer) : nullptr);
      return true;
    case kCommandDisconnect:
      ch.disconnect();
      return true;
    case kCommandPause:
      ch.pause();
      return true;
    case kCommandRun:
      ch.run();
      return true;
    case kCommandFlush:
      ch.flush();
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
    case kValueGetOutputRect:
      return withPayload<RectFloatRecord>(value, [&](RectFloatRecord& out) { ch.readOutputRect(out); });
    case kValueGetDisplayFactors:
      return withPayload<MaskedFloat4>(value, [&](MaskedFloat4& out) { ch.mergeDisplayFactors(out); });
    case kValueSurfaceObject:
      *value = PropertyValue::ofPointer(kPropertyObject, ch.owner().surfaceObject());
      return true;
    case kValueRendererObject: {
      typename Channel::QueueLock queue(ch.queueMutex());
      if (!ch.rendererObject) return false;
      *value = PropertyValue::ofPointer(kPropertyObject, ch.rendererObject);
      return true;
    }
    case kValueIntegerA:
    case kValueIntegerB:
      *value = PropertyValue::ofInt32(ch.owner().integerProperty(code));
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
    case kValueDeliverFrame:
      return withPayload<VideoSample>(value, [&](VideoSample& frame) { ch.deliver(&frame); });
    case kValueSetOutputRect:
      return withPayload<const RectFloatRecord>(
          value, [&](const RectFloatRecord& rect) { ch.setOutputRect(RectFloat(rect)); });
    case kValueSetDisplayFactors:
      return withPayload<const MaskedFloat4>(
          value, [&](const MaskedFloat4& factors) { ch.setDisplayFactors(factors); });
    default:
      return false;
  }
}

}  // namespace KMC
