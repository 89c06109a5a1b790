// VideoOutput<T>::Channel: the frame schedule. Part of video_output.h.
//
// On every presentation pass the loop runs selectFrame for each selected channel: the shown
// frame of a push channel expires once the clock has left it behind, late head frames are
// dropped, and the head frame is handed to the renderer when it is due. The numbers (tolerance,
// rewind, recheck) and a frame's due time at the clock's rate are in frame_schedule.h.
#pragma once

#include <cstdint>
#include <vector>

#include "videooutput/frame_schedule.h"

namespace KMC {

template <typename T>
int64_t VideoOutput<T>::Channel::dueTime(int64_t now) {
  QueueLock queue(queueMutex_);
  if (seekPending()) return now;
  if (!connected_ || frameQueue_.empty()) return now + kUntimedRecheckMs;
  int32_t start = frameQueue_.front()->startTime;
  if (start == 0 && !isPull()) return now + kUntimedRecheckMs;
  return start;
}

template <typename T>
bool VideoOutput<T>::Channel::selectFrame(bool& changed) {
  QueueLock queue(queueMutex_);
  MediaClock* clock = owner_.clock();
  const int64_t now = clock ? static_cast<int64_t>(clock->currentTime()) : 0;

  expireShownFrame(now);
  if (geometryDirty_) {
    applyGeometry();
    changed = true;
  }
  if (frameQueue_.empty() || !canPresent()) return false;
  if (!scheduleMoves(clock)) return false;  // a paused channel keeps showing its frame

  const FramePace pace(clock ? static_cast<int64_t>(clock->rate()) : kNormalRate,
                       owner_.frameTolerance());
  // Read before any drop: only the head the pass began with can be the frame a seek asked for.
  const bool seekTargetsHead = seekAimsAtHead();
  if (!seekTargetsHead && !dropLateFrames(now, pace)) return false;  // none left
  if (!headIsDue(now, pace, seekTargetsHead)) return false;  // it waits for its time

  presentHead(changed);  // a refused frame stays at the head for the next pass
  if (isPull()) wakeEvent_.set();
  return true;
}

template <typename T>
void VideoOutput<T>::Channel::expireShownFrame(int64_t now) {
  // A pull channel's frame, and an untimed one, stays until the next frame replaces it.
  if (isPull() || !currentFrame || currentFrame->duration == 0) return;
  const int64_t start = currentFrame->startTime;
  const int64_t end = start + static_cast<int64_t>(currentFrame->duration);
  const bool clockPassedIt = now > end + kFrameToleranceMs;
  const bool clockTakenBack = now < start - kShownFrameRewindMs || now < 0;
  if (!clockPassedIt && !clockTakenBack) return;
  if (VideoSample* taken = owner_.takeCurrentFrame(this)) taken->release();
}

template <typename T>
bool VideoOutput<T>::Channel::scheduleMoves(MediaClock* clock) const {
  const bool clockRuns = clock && clock->isRunning() && !paused_.load();
  const bool untimedHead = frameQueue_.front()->startTime == 0;
  return clockRuns || seekPending() || !hasPresented_ || untimedHead;
}

template <typename T>
bool VideoOutput<T>::Channel::seekAimsAtHead() const {
  return seekPending() && seekTime_ >= 0 && frameQueue_.front()->startTime == seekTime_;
}

template <typename T>
bool VideoOutput<T>::Channel::dropLateFrames(int64_t now, const FramePace& pace) {
  for (;;) {
    VideoSample* head = frameQueue_.front();
    const int64_t due = pace.dueTime(*head);
    if (due == 0 || !pace.isLate(due, now)) return true;
    frameQueue_.pop_front();
    owner_.addNotice(Notice{Notice::kDroppedLate, this, head, 0, 0});  // released then
    if (isPull()) wakeEvent_.set();
    if (frameQueue_.empty()) return false;
  }
}

template <typename T>
bool VideoOutput<T>::Channel::headIsDue(int64_t now, const FramePace& pace,
                                        bool seekTargetsHead) const {
  const int64_t due = pace.dueTime(*frameQueue_.front());
  // Shown at once, whatever the clock: the frame a seek asked for, the channel's first frame,
  // and an untimed frame.
  if (seekTargetsHead || !hasPresented_ || due == 0) return true;
  return pace.isOnTime(due, now);
}

template <typename T>
bool VideoOutput<T>::Channel::presentHead(bool& changed) {
  VideoSample* head = frameQueue_.front();
  seekTime_ = -1;
  lastPresentedTime_ = head->startTime;
  VideoSample* shown = owner_.acceptFrame(this, head);
  if (!shown) return false;
  frameQueue_.pop_front();  // the renderer's now

  if (shown->bottomUp == 1) bottomUpFrameSeen = true;
  bool geometryChange = false;
  if (shown->width != 0 && shown->height != 0 && (shown->width != width || shown->height != height)) {
    width = shown->width;
    height = shown->height;
    geometryChange = true;
  }
  const RectFloat crop(shown->crop);
  if (crop.isValid() && !crop.sameEdges(cropRect)) {
    cropRect = crop;
    geometryChange = true;
  }
  const RectInt picture(shown->picture);
  if (picture.isNonEmpty() && !picture.sameEdges(pictureRect)) {
    pictureRect = picture;
    geometryChange = true;
  }
  owner_.addNotice(Notice{Notice::kPresented, this, shown, 0, 0});
  VideoSample* object = owner_.convertFrame(this, shown);
  if (object) owner_.addNotice(Notice{Notice::kConverted, this, object, 0, 0});  // released then
  if (geometryChange) {
    if (isPull()) owner_.addNotice(Notice{Notice::kVideoSize, this, nullptr, width, height});
    applyGeometry();
  }
  changed = true;
  hasPresented_ = true;
  return true;
}

}  // namespace KMC
