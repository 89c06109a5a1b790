// VideoOutput<T>::Channel: the presentation state of one stream. Part of video_output.h.
//
// A channel does three jobs, each in a file of its own:
//  - here: the queue of engine frames, where and how the stream is drawn (rectangles, display
//    factors, the size of the last frame), the seek and presentation bookkeeping, and the
//    operations the port and the presentation loop perform on them;
//  - channel_frame_schedule.h: the frame schedule (selectFrame and its steps), run by the
//    presentation loop against the engine's clock, with the numbers of frame_schedule.h;
//  - channel_pull_feeder.h: for a pull channel, the thread that prefetches up to 8 frames from
//    the upstream source named by the port's connect command, and the waits of connect and
//    disconnect for a pull in flight.
//
// Ownership of frames: every queued frame is the channel's and leaves the queue either by
// release() or by a non-null acceptFrame (then it is the renderer's, as currentFrame or
// released by the renderer). Whoever drops a frame releases it, exactly once.
//
// queueMutex guards the queue and every field below it that is not atomic; the renderer is
// called with it held for all the fields it reads (see the contract in video_output.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <vector>

#include <boost/thread/recursive_mutex.hpp>
#include <boost/thread/thread.hpp>

#include "abi/engine_codes.h"
#include "abi/engine_objects.h"
#include "abi/format_descriptor.h"
#include "framework/geometry.h"
#include "threading/event.h"
#include "threading/sleep_milliseconds.h"
#include "videooutput/frame_schedule.h"

namespace KMC {

template <typename T>
class VideoOutput<T>::Channel {
 public:
  typedef boost::recursive_mutex::scoped_lock QueueLock;
  static const size_t kPullQueueLimit = 8;

  // A pull channel starts its thread at once. Created only by createPort.
  Channel(VideoOutput* output, bool pull, StreamDescriptor* descriptor);
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
  bool bottomUpFrameSeen = false;       // sticky: a presented frame had its rows bottom-up
  int32_t id = 0;                       // the engine's channel id
  void* rendererObject = nullptr;       // answered by port value 0x2020000E when set

  bool isPull() const { return pull_; }
  // The output's view for its channels and ports.
  ChannelOwner& owner() { return owner_; }
  const ChannelOwner& owner() const { return owner_; }
  Port* port() const { return port_; }
  // Frames queued now. Takes queueMutex.
  size_t queuedFrames();
  boost::recursive_mutex& queueMutex() { return queueMutex_; }

  // --- Port operations (engine threads; each takes queueMutex unless it says otherwise) -------
  // Appends a pushed frame, which is the channel's from now on; an untimed one (start 0)
  // empties the queue first, so that it goes next.
  void deliver(VideoSample* frame);
  // Seek to time: frames before it are dropped from the head (none for a time of 0 or below);
  // a pull thread whose queue ran empty is woken.
  void seekTo(int32_t time);
  // Releases every queued frame and wakes the pull thread.
  void flush();
  // Forgets what was presented and any pending seek (the caller takes the shown frame back).
  void resetPresentation();
  // The start of the last presented frame, for the position status: false before the first
  // presentation, and when it is unknown while no seek is pending.
  bool presentedPosition(int32_t& time);
  void setOutputRect(const RectFloat& rect);  // marks the geometry dirty when it changed
  void readOutputRect(RectFloatRecord& into);  // the edges only: the engine's table pointer stays
  void setDisplayFactors(const MaskedFloat4& factors);  // dirty when a factor changed
  void mergeDisplayFactors(MaskedFloat4& into);
  void pause() { paused_.store(true); }
  void run() { paused_.store(false); }
  // Connect and disconnect also take component locks (renderLock; disconnect also
  // selectionLock), so that they never interleave with a drawing pass (channel_pull_feeder.h).
  void connect(UpstreamSource* source);
  void disconnect();
  // disconnect without the wait for a pull in flight; the caller may hold component locks.
  // Answers the pulls begun so far.
  uint64_t markDisconnected();

  // --- Output operations --------------------------------------------------------------------
  // Set by disconnect; cleared when the output retires the channel. Any thread.
  bool isClosing() const { return closing_.load(); }
  void markRetired() { closing_.store(false); }
  // With queueMutex: whether drawChannel is due for this channel (it has its port and has
  // presented a frame).
  bool hasPicture() const { return port_ && hasPresented_; }
  // With channelListLock: attachChannel was called and detachChannel not yet.
  bool isAttached() const { return attached_; }
  void setAttached(bool attached) { attached_ = attached; }
  // With queueMutex: a reconfiguration holds the channel (its pull thread pauses) and resumes it.
  void hold() { held_ = true; }
  void resume() { held_ = false; }
  bool isHeld() const { return held_; }
  // The port is made right after the channel and deleted just before it (takePort).
  void setPort(Port* port) { port_ = port; }
  Port* takePort() {
    Port* port = port_;
    port_ = nullptr;
    return port;
  }
  // Wakes the pull thread (a frame left the queue). Any thread.
  void wakePuller() { wakeEvent_.set(); }

  // --- Frame schedule (channel_frame_schedule.h) ------------------------------------------------
  // With renderLock and selectionLock (output thread); takes queueMutex. Expiry of the shown
  // frame, late-frame drop, due test, presentation. changed is set when the picture of this
  // channel changed. Answers whether the channel went as far as offering its head frame to the
  // renderer. It calls no engine object: what the engine is to hear (drops, presentations, a
  // new video size) goes to the output's notices, raised after the pass.
  bool selectFrame(bool& changed);
  // Takes queueMutex: the media time at which this channel wants the next pass.
  int64_t dueTime(int64_t now);

  // --- Pull feeder (channel_pull_feeder.h) ----------------------------------------------------
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

 private:
  // With queueMutex (taken here): releases every queued frame, from the head. Removing the
  // frame that a pending seek points at cancels the seek. A frame being pulled meanwhile is
  // released when it arrives.
  void flushQueue();
  // With queueMutex: recomputes the effective source rectangle and tells the renderer.
  bool applyGeometry();
  bool seekPending() const { return seekTime_ != -1; }
  bool canPresent() const { return connected_ && !closing_.load(); }

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
  // Offers the head frame; answers whether the renderer took it.
  bool presentHead(bool& changed);

  // The pull thread's body.
  void pullThreadMain();
  // Pull thread, no lock held: queues a frame the source answered for a pull begun at epoch,
  // or releases it when the channel no longer wants it. A null frame, or one whose word at
  // byte 4 is zero, is neither queued nor released: that word may be the engine's own count.
  void takePulledFrame(VideoSample* frame, uint32_t epoch);
  // After a source was replaced or dropped: waits until the pulls begun before (pullsBegun_
  // was begun then) have returned, so that the engine may let the old source go. Skipped where
  // waiting could deadlock: on this channel's pull thread, or while the caller holds a
  // component lock (the pull may need it).
  void waitForPullsBegunBefore(uint64_t begun);

  ChannelOwner owner_;
  const bool pull_;                     // a pull channel
  // The pull feeder.
  std::atomic<bool> stop_{false};       // tells the pull thread to end
  boost::thread* pullThread_ = nullptr; // pull channels only, until stopPulling
  std::atomic<uint64_t> pullsBegun_{0}; // counted with queueMutex, as a pull takes the source
  std::atomic<uint64_t> pullsEnded_{0}; // counted as the pull's answer has been dealt with
  uint32_t pullEpoch_ = 0;              // queueMutex; changes when a pulled frame turns unwanted
  Event wakeEvent_{0};                  // auto-reset: wakes the pull thread
  std::atomic<bool> threadExited_{false};
  // The queue and the presentation bookkeeping.
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
VideoOutput<T>::Channel::Channel(VideoOutput* output, bool pull, StreamDescriptor* descriptor)
    : descriptor(descriptor), owner_(*output), pull_(pull) {
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
  return owner_.geometryChanged(this, &effective);
}

template <typename T>
void VideoOutput<T>::Channel::deliver(VideoSample* frame) {
  QueueLock queue(queueMutex_);
  if (frame->startTime == 0) flushQueue();  // an untimed frame goes next
  frameQueue_.push_back(frame);
}

template <typename T>
void VideoOutput<T>::Channel::seekTo(int32_t time) {
  QueueLock queue(queueMutex_);
  seekTime_ = time;
  lastPresentedTime_ = -1;
  ++pullEpoch_;  // a frame being pulled now comes from before the seek
  if (seekTime_ <= 0) return;
  while (!frameQueue_.empty() &&
         static_cast<uint32_t>(frameQueue_.front()->startTime) < static_cast<uint32_t>(seekTime_)) {
    frameQueue_.front()->release();
    frameQueue_.pop_front();
  }
  if (frameQueue_.empty()) wakeEvent_.set();
}

template <typename T>
void VideoOutput<T>::Channel::flush() {
  flushQueue();
  wakeEvent_.set();
}

template <typename T>
void VideoOutput<T>::Channel::resetPresentation() {
  QueueLock queue(queueMutex_);
  lastPresentedTime_ = -1;
  seekTime_ = -1;
  hasPresented_ = false;
}

template <typename T>
bool VideoOutput<T>::Channel::presentedPosition(int32_t& time) {
  QueueLock queue(queueMutex_);
  if (!hasPresented_) return false;
  if (lastPresentedTime_ < 0 && !seekPending()) return false;
  time = lastPresentedTime_;
  return true;
}

template <typename T>
void VideoOutput<T>::Channel::setOutputRect(const RectFloat& rect) {
  QueueLock queue(queueMutex_);
  if (rect.sameEdges(outputRect)) return;
  outputRect.left = rect.left;
  outputRect.top = rect.top;
  outputRect.right = rect.right;
  outputRect.bottom = rect.bottom;
  geometryDirty_ = true;
}

template <typename T>
void VideoOutput<T>::Channel::readOutputRect(RectFloatRecord& into) {
  QueueLock queue(queueMutex_);
  outputRect.storeInto(&into);
}

template <typename T>
void VideoOutput<T>::Channel::setDisplayFactors(const MaskedFloat4& factors) {
  QueueLock queue(queueMutex_);
  bool same = true;
  for (int i = 0; i < 4; ++i) same = same && factors[i] == displayFactors[i];
  if (same) return;
  displayFactors = factors;
  geometryDirty_ = true;
}

template <typename T>
void VideoOutput<T>::Channel::mergeDisplayFactors(MaskedFloat4& into) {
  QueueLock queue(queueMutex_);
  into.merge(displayFactors);
}

}  // namespace KMC
