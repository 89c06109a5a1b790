// VideoOutput<T>::Channel: the presentation state of one stream.
//
// A FIFO of engine frames, where and how the stream is drawn, the seek and presentation
// bookkeeping, the frame schedule (selectFrame) and, for a pull channel, a thread that
// prefetches up to 8 frames from the upstream source named by the port's connect command.
//
// Ownership of frames: every queued frame is the channel's and leaves the queue either by
// release() or by a non-null acceptFrame (then it is the renderer's, as currentFrame or
// released by the renderer). Whoever drops a frame releases it, exactly once.
//
// queueMutex guards the queue and every field below it that is not atomic; the renderer is
// called with it held for all the fields it reads (see the contract in video_output.h).
//
// The pull thread takes only its own queueMutex, never a component lock, and never holds it
// while the source's pull runs: a slow source then delays nobody but its own channel, and a
// source may call back into the output (disconnect its port, say) from inside pull. After pull
// answers, the thread takes the lock again and checks that the channel still wants the frame:
// a flush, seek, connect or disconnect meanwhile (pullEpoch_ changed), or the thread's stop,
// makes it release the frame instead of queueing it.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <vector>

#include <boost/thread/recursive_mutex.hpp>
#include <boost/thread/thread.hpp>

#include "framework/engine_objects.h"
#include "framework/format_descriptor.h"
#include "framework/geometry.h"
#include "threading/event.h"
#include "threading/sleep_milliseconds.h"
#include "framework/engine_codes.h"
#include "videooutput/frame_schedule.h"

namespace KMC {

template <typename T>
class VideoOutput<T>::Channel {
 public:
  typedef boost::recursive_mutex::scoped_lock QueueLock;
  static const size_t kPullQueueLimit = 8;

  // A pull channel starts its thread at once. Created only by createPort.
  Channel(VideoOutput* owner, bool pull, StreamDescriptor* descriptor);
  // Flushes the queue, stops and joins the pull thread, and releases a current frame that the
  // renderer still holds (it had not been detached).
  virtual ~Channel();

  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  // --- The renderer's view (read and written by the renderer under the locks of the contract)
  VideoSample* currentFrame = nullptr;  // written only by the renderer: the frame it shows
  void* rendererData = nullptr;         // written only by the renderer
  StreamDescriptor* descriptor;         // given to createPort; starts with the format code
  int32_t width = 0;                    // size of the last presented frame
  int32_t height = 0;
  RectFloat outputRect{0, 0, 1, 1};     // where the stream goes, fractions of the output area
  RectFloat cropRect{0, 0, 1, 1};       // part of the frame to show, fractions
  RectInt pictureRect;                  // valid picture area in pixels
  MaskedFloat4 displayFactors;          // (1, 1, 1, 1), mask 15
  bool frameFlag = false;               // a presented frame carried the bottom-up flag byte
  int32_t id = 0;                       // the engine's channel id
  VideoOutput* const owner;
  void* rendererObject = nullptr;       // answered by port value 0x2020000E when set

  bool isPull() const { return pull_; }
  Port* port() const { return port_; }
  // Frames queued now. Takes queueMutex.
  size_t queuedFrames();
  boost::recursive_mutex& queueMutex() { return queueMutex_; }

 private:
  friend class VideoOutput;
  friend class Port;

  // With queueMutex (taken here): releases every queued frame, from the head. Removing the
  // frame that a pending seek points at cancels the seek. A frame being pulled meanwhile is
  // released when it arrives.
  void flushQueue();
  // With renderLock and selectionLock (output thread); takes queueMutex. The frame schedule:
  // expiry of the shown frame, late-frame drop, due test, presentation. changed is set when the
  // picture of this channel changed. Answers whether the channel went as far as offering its
  // head frame to the renderer. It calls no engine object: what the engine is to hear (drops,
  // presentations, a new video size) goes to the output's notices, raised after the pass.
  bool selectFrame(bool& changed);
  // The steps of selectFrame, each with queueMutex held.
  // Lets go of the shown frame of a push channel once the clock has left it behind: past its
  // end by more than the tolerance, or far enough before its start that the clock was taken back.
  void expireShownFrame(int64_t now);
  // Whether the schedule moves on this pass (queue not empty): the clock runs for this channel,
  // or a pending seek, a first frame or an untimed head asks for a presentation anyway.
  bool scheduleMoves(MediaClock* clock) const;
  // Whether a seek is pending and the head frame starts at its time (queue not empty).
  bool seekAimsAtHead() const;
  // Drops late head frames until one is not late (or is untimed), reporting each to the engine.
  // Answers false when the queue ran empty.
  bool dropLateFrames(int64_t now, const FramePace& pace);
  // Whether the head frame (queue not empty) is to be presented on this pass.
  bool headIsDue(int64_t now, const FramePace& pace, bool seekTargetsHead) const;
  // With queueMutex: recomputes the effective source rectangle and tells the renderer.
  bool applyGeometry();
  // With queueMutex: the media time at which this channel wants the next pass.
  int64_t dueTime(int64_t now);
  // With queueMutex: offers the head frame; answers whether the renderer took it.
  bool presentHead(bool& changed);
  void pullThreadMain();
  // Pull thread, no lock held: queues a frame the source answered for a pull begun at epoch,
  // or releases it when the channel no longer wants it. A null frame, or one whose word at
  // byte 4 is zero, is neither queued nor released: that word may be the engine's own count.
  void takePulledFrame(VideoSample* frame, uint32_t epoch);
  // Stops and joins the pull thread (once; later calls do nothing). No component lock may be
  // held: the source may call back into the output until its pull returns.
  void stopPulling();
  // Whether the calling thread is this channel's pull thread.
  bool onPullThread() const;
  // The channel whose pull thread the calling thread is, or null.
  static const Channel*& pullingChannel() {
    static thread_local const Channel* channel = nullptr;
    return channel;
  }
  // After a source was replaced or dropped: waits until the pulls begun before (pullsBegun_
  // was begun then) have returned, so that the engine may let the old source go. Skipped where
  // waiting could deadlock: on this channel's pull thread, or while the caller holds a
  // component lock (the pull may need it).
  void waitForPullsBegunBefore(uint64_t begun);
  // With queueMutex: a reconfiguration holds the channel (its pull thread pauses) and resumes it.
  void hold() { held_ = true; }
  void resume() { held_ = false; }
  bool isHeld() const { return held_; }
  bool seekPending() const { return seekTime_ != -1; }
  bool canPresent() const { return connected_ && !closing_.load(); }

  // Port commands that also take component locks (renderLock; disconnect also selectionLock),
  // so that they never interleave with a drawing pass.
  void connect(UpstreamSource* source);
  void disconnect();
  // disconnect without the wait for a pull in flight; the caller may hold component locks.
  // Answers the pulls begun so far.
  uint64_t markDisconnected();

  const bool pull_;                     // a pull channel
  std::atomic<bool> stop_{false};       // tells the pull thread to end
  boost::thread* pullThread_ = nullptr; // pull channels only, until stopPulling
  std::atomic<uint64_t> pullsBegun_{0}; // counted with queueMutex, as a pull takes the source
  std::atomic<uint64_t> pullsEnded_{0}; // counted as the pull's answer has been dealt with
  uint32_t pullEpoch_ = 0;              // queueMutex; changes when a pulled frame turns unwanted
  Event wakeEvent_{0};                  // auto-reset: wakes the pull thread
  std::atomic<bool> threadExited_{false};
  Port* port_ = nullptr;                // back pointer; the port is deleted first
  UpstreamSource* source_ = nullptr;    // queueMutex; set by connect, null after disconnect
  bool geometryDirty_ = false;          // queueMutex
  std::atomic<bool> closing_{false};    // set by disconnect, cleared when retired
  bool connected_ = false;              // queueMutex
  std::atomic<bool> paused_{true};      // flipped by pause/run without a lock
  bool hasPresented_ = false;           // queueMutex
  int32_t lastPresentedTime_ = -1;      // queueMutex
  boost::recursive_mutex queueMutex_;
  std::deque<VideoSample*> frameQueue_; // queueMutex; owned references
  int32_t seekTime_ = -1;               // queueMutex; -1 = no seek pending
  bool attached_ = false;               // channelListLock; attachChannel called, not detached
  bool held_ = false;                   // queueMutex; held for a reconfiguration
};

// ------------------------------------------------------------------------------------------------

template <typename T>
VideoOutput<T>::Channel::Channel(VideoOutput* owner, bool pull, StreamDescriptor* descriptor)
    : descriptor(descriptor), owner(owner), pull_(pull) {
  if (pull) pullThread_ = new boost::thread(&Channel::pullThreadMain, this);
}

template <typename T>
VideoOutput<T>::Channel::~Channel() {
  flushQueue();
  stopPulling();
  flushQueue();  // a frame pulled while the thread was stopping
  // The renderer lets currentFrame go in detachChannel; one still set was never detached.
  if (currentFrame) {
    currentFrame->release();
    currentFrame = nullptr;
  }
}

template <typename T>
void VideoOutput<T>::Channel::stopPulling() {
  if (!pullThread_) return;
  stop_.store(true);
  wakeEvent_.set();
  pullThread_->join();
  delete pullThread_;
  pullThread_ = nullptr;
}

template <typename T>
bool VideoOutput<T>::Channel::onPullThread() const {
  return pullingChannel() == this;
}

template <typename T>
void VideoOutput<T>::Channel::waitForPullsBegunBefore(uint64_t begun) {
  if (onPullThread() || owner->lockManager_.hasThreadLockList()) return;
  while (pullsEnded_.load() < begun) sleepMilliseconds(1);
}

template <typename T>
size_t VideoOutput<T>::Channel::queuedFrames() {
  QueueLock queue(queueMutex_);
  return frameQueue_.size();
}

template <typename T>
void VideoOutput<T>::Channel::flushQueue() {
  QueueLock queue(queueMutex_);
  ++pullEpoch_;
  while (!frameQueue_.empty()) {
    VideoSample* frame = frameQueue_.front();
    frameQueue_.pop_front();
    if (seekPending() && frame->startTime == seekTime_) {
      seekTime_ = -1;
      lastPresentedTime_ = -1;
      hasPresented_ = false;
    }
    frame->release();
  }
}

template <typename T>
bool VideoOutput<T>::Channel::applyGeometry() {
  if (!port_) return false;
  RectFloat effective = outputRect;
  if (cropRect.isValid()) {
    const double l = outputRect.left, t = outputRect.top, r = outputRect.right, b = outputRect.bottom;
    effective.left = l + (r - l) * cropRect.left;
    effective.top = t + (b - t) * cropRect.top;
    effective.right = r < 0 ? r : l + (r - l) * cropRect.right;
    effective.bottom = b < 0 ? b : t + (b - t) * cropRect.bottom;
  }
  geometryDirty_ = false;
  return owner->geometryChanged(this, &effective);
}

template <typename T>
void VideoOutput<T>::Channel::pullThreadMain() {
  pullingChannel() = this;
  while (!stop_.load()) {
    if (queuedFrames() >= kPullQueueLimit) {
      wakeEvent_.wait();
      continue;
    }
    UpstreamSource* source = nullptr;
    uint32_t epoch = 0;
    {
      QueueLock queue(queueMutex_);
      if (source_ && !held_ && frameQueue_.size() < kPullQueueLimit) {
        source = source_;
        epoch = pullEpoch_;
        pullsBegun_.fetch_add(1);
      }
    }
    bool workDone = false;
    if (source) {
      PropertyValue value;
      if (source->pull(kPullCode, &value)) {
        workDone = true;
        takePulledFrame(static_cast<VideoSample*>(value.payload.pointer), epoch);
      }
      pullsEnded_.fetch_add(1);
    }
    if (queuedFrames() >= kPullQueueLimit) {
      wakeEvent_.wait();
    } else if (!workDone) {
      sleepMilliseconds(1);
    }
  }
  threadExited_.store(true);
}

template <typename T>
void VideoOutput<T>::Channel::takePulledFrame(VideoSample* frame, uint32_t epoch) {
  if (!frame || frame->usable == 0) return;
  QueueLock queue(queueMutex_);
  const bool overtaken = stop_.load() || epoch != pullEpoch_ || !source_;
  const bool beforeSeek =
      seekPending() && static_cast<uint32_t>(frame->startTime) < static_cast<uint32_t>(seekTime_);
  if (overtaken || beforeSeek) {
    frame->release();
  } else {
    frameQueue_.push_back(frame);
  }
}

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
  MediaClock* clock = owner->clock_;
  const int64_t now = clock ? static_cast<int64_t>(clock->currentTime()) : 0;

  expireShownFrame(now);
  if (geometryDirty_) {
    applyGeometry();
    changed = true;
  }
  if (frameQueue_.empty() || !canPresent()) return false;
  if (!scheduleMoves(clock)) return false;  // a paused channel keeps showing its frame

  const FramePace pace(clock ? static_cast<int64_t>(clock->rate()) : kNormalRate,
                       owner->frameTolerance_);
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
  if (VideoSample* taken = owner->takeCurrentFrame(this)) taken->release();
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
    owner->notices_.push_back(Notice{Notice::kDroppedLate, this, head, 0, 0});  // released then
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
  VideoSample* shown = owner->acceptFrame(this, head);
  if (!shown) return false;
  frameQueue_.pop_front();  // the renderer's now

  if (shown->bottomUp == 1) frameFlag = true;
  bool geometryChange = false;
  if (shown->width != 0 && shown->height != 0 && (shown->width != width || shown->height != height)) {
    width = shown->width;
    height = shown->height;
    geometryChange = true;
  }
  if (shown->crop.isValid() && !shown->crop.sameEdges(cropRect)) {
    cropRect.left = shown->crop.left;
    cropRect.top = shown->crop.top;
    cropRect.right = shown->crop.right;
    cropRect.bottom = shown->crop.bottom;
    geometryChange = true;
  }
  if (shown->picture.isNonEmpty() && !shown->picture.sameEdges(pictureRect)) {
    pictureRect.left = shown->picture.left;
    pictureRect.top = shown->picture.top;
    pictureRect.right = shown->picture.right;
    pictureRect.bottom = shown->picture.bottom;
    geometryChange = true;
  }
  std::vector<Notice>& notices = owner->notices_;
  notices.push_back(Notice{Notice::kPresented, this, shown, 0, 0});
  VideoSample* object = owner->convertFrame(this, shown);
  if (object) notices.push_back(Notice{Notice::kConverted, this, object, 0, 0});  // released then
  if (geometryChange) {
    if (isPull()) notices.push_back(Notice{Notice::kVideoSize, this, nullptr, width, height});
    applyGeometry();
  }
  changed = true;
  hasPresented_ = true;
  return true;
}

template <typename T>
void VideoOutput<T>::Channel::connect(UpstreamSource* source) {
  uint64_t begun = 0;
  {
    LockGuard render(owner->lockManager_, owner->renderLock_, LockMode::Locked);
    QueueLock queue(queueMutex_);
    if (source != source_) {
      ++pullEpoch_;  // a frame still coming from the old source goes
      begun = pullsBegun_.load();
    }
    source_ = source;
    connected_ = true;
    paused_.store(true);
  }
  waitForPullsBegunBefore(begun);
}

template <typename T>
void VideoOutput<T>::Channel::disconnect() {
  waitForPullsBegunBefore(markDisconnected());
}

template <typename T>
uint64_t VideoOutput<T>::Channel::markDisconnected() {
  LockGuard render(owner->lockManager_, owner->renderLock_, LockMode::Locked);
  LockGuard selection(owner->lockManager_, owner->selectionLock_, LockMode::Locked);
  QueueLock queue(queueMutex_);
  owner->selectedChannels_.remove(this);
  closing_.store(true);
  source_ = nullptr;
  ++pullEpoch_;
  return pullsBegun_.load();
}

}  // namespace KMC
