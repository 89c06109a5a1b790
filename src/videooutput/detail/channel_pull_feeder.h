// VideoOutput<T>::Channel: the pull feeder of a pull channel. Part of video_output.h.
//
// The pull thread takes only its own channel's queueMutex, never a component lock, and never
// holds it while the source's pull runs: a slow source then delays nobody but its own channel,
// and a source may call back into the output (disconnect its port, say) from inside pull. After
// pull answers, the thread takes the lock again and checks that the channel still wants the
// frame: a flush, seek, connect or disconnect meanwhile (pullEpoch_ changed), or the thread's
// stop, makes it release the frame instead of queueing it.
//
// Pulls begun and ended are counted, so that connect and disconnect can wait until no pull of
// the source they replaced is in flight (the engine may then let that source go).
#pragma once

#include <cstdint>

#include "abi/engine_codes.h"
#include "threading/lock_guard.h"
#include "threading/sleep_milliseconds.h"

namespace KMC {

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
  if (onPullThread() || owner_.callerMayHoldALock()) return;
  while (pullsEnded_.load() < begun) sleepMilliseconds(1);
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
void VideoOutput<T>::Channel::connect(UpstreamSource* source) {
  uint64_t begun = 0;
  {
    LockGuard render(owner_.lockManager(), owner_.renderLock(), LockMode::Locked);
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
  LockGuard render(owner_.lockManager(), owner_.renderLock(), LockMode::Locked);
  LockGuard selection(owner_.lockManager(), owner_.selectionLock(), LockMode::Locked);
  QueueLock queue(queueMutex_);
  owner_.deselect(this);
  closing_.store(true);
  source_ = nullptr;
  ++pullEpoch_;
  return pullsBegun_.load();
}

}  // namespace KMC
