// VideoOutput<T>: the presentation loop, run by the renderer on the output thread. Part of
// video_output.h.
//
// Each pass: retire disconnected channels, initialise the renderer (until it succeeds), follow
// the active state (thread priority, deactivate), hold the channels for a requested
// reconfiguration and run it, wait for the earliest due frame with every component lock
// released, select the due frame of every selected channel, tell the engine what happened to
// its frames (see the notes on calls into the engine in video_output.h), and compose the
// picture when a channel changed or at least every 101 ms.
//
// The locks and what may be called under them are the contract's (abi/engine_objects.h); how
// the loop keeps it: it keeps None guards on its three locks for its whole run: renderLock and
// selectionLock, once a step has taken them, stay with the output thread after the step, until
// a sleep opens Unlocked guards. channelListLock is let go at the end of every step that takes
// it (channel upkeep, hold, resume, the due-time wait), and no call into the engine is made
// with it held. Engine calls that need a component lock therefore get it while the output
// thread sleeps; a pass that did not sleep ends with a short sleep (1 ms, or a yield after
// composing), so they always get their turn.
#pragma once

#include <algorithm>
#include <memory>
#include <vector>

#include "threading/c_time.h"
#include "threading/priority_level.h"
#include "threading/sleep_milliseconds.h"
#include "videooutput/frame_schedule.h"

namespace KMC {

template <typename T>
struct VideoOutput<T>::LoopState {
  std::atomic<bool>* keepRunning;
  bool lastActive = false;
  std::unique_ptr<CTime> stopwatch;  // created on the first active pass
};

template <typename T>
void VideoOutput<T>::idle(uint32_t milliseconds) {
  // Highest id first; the guards end lowest first, which takes back every lock that the
  // caller held in mode Locked and leaves the others released.
  LockGuard list(lockManager_, channelListLock_, LockMode::Unlocked);
  LockGuard selection(lockManager_, selectionLock_, LockMode::Unlocked);
  LockGuard render(lockManager_, renderLock_, LockMode::Unlocked);
  sleepMilliseconds(milliseconds);
  passSlept_ = true;
}

template <typename T>
void VideoOutput<T>::releaseKept(LockId lock) {
  // An Unlocked guard lets the mutex go; ending it restores the loop's mode None, which leaves
  // the mutex as it is, released.
  LockGuard release(lockManager_, lock, LockMode::Unlocked);
}

template <typename T>
bool VideoOutput<T>::presentationLoop(std::atomic<bool>* keepRunning, int64_t maxPasses) {
  loopRunning_.store(true);
  frameTolerance_ = kFrameToleranceMs;
  LockGuard renderNone(lockManager_, renderLock_, LockMode::None);
  LockGuard selectionNone(lockManager_, selectionLock_, LockMode::None);
  LockGuard listNone(lockManager_, channelListLock_, LockMode::None);
  LoopState state;
  state.keepRunning = keepRunning;
  for (int64_t pass = 0; keepRunning->load() && !stopFlag_.load(); ++pass) {
    if (maxPasses >= 0 && pass >= maxPasses) break;
    passSlept_ = false;
    const bool composed = presentationPass(state);
    // A pass that never slept lets the engine threads have the component locks for a moment:
    // without it a loop with nothing to wait for (frames overdue but not presentable, an
    // inactive output) would keep them from every port call.
    if (!passSlept_) idle(composed ? 0 : 1);
  }
  finishLoop();
  return true;
}

template <typename T>
bool VideoOutput<T>::presentationPass(LoopState& state) {
  passes_.fetch_add(1);
  // First, whatever else the pass does: removePort waits for this, also while the renderer has
  // no target or the channels are held.
  channelUpkeep();

  if (!initialized_.load()) {
    bool ok;
    {
      LockGuard render(lockManager_, renderLock_, LockMode::Locked);
      ok = initializeRenderer();
    }
    if (!ok) {
      initFailed_.store(true);
      idle(kRetryIdleMs);
      return false;
    }
    initialized_.store(true);
  }

  const bool active = active_.load();
  if (active != state.lastActive) {
    if (active) {
      setPriorityLevel(kPriorityTimeCritical);
    } else {
      {
        LockGuard render(lockManager_, renderLock_, LockMode::Locked);
        deactivate();
      }
      setPriorityLevel(kPriorityNormal);
    }
    state.lastActive = active;
  }

  if (reconfigureRequested_.load() && !channelsHeld_) holdChannels();
  if (!rendererReady_.load()) {
    idle(kRetryIdleMs);
    return false;
  }
  if (channelsHeld_) {
    bool done;
    {
      LockGuard render(lockManager_, renderLock_, LockMode::Locked);
      done = reconfigure() && reconfigureCommit();
    }
    if (!done) {
      idle(kRetryIdleMs);
      return false;  // channels stay held; retried next pass
    }
    resumeChannels();
    // Cleared once the reconfiguration has run: the renderer's own steps (acquiring its
    // drawing target again) ask for one, and that request is the one just served.
    reconfigureRequested_.store(false);
  }

  dueTimeWait();
  if (!active_.load()) return false;
  if (!state.stopwatch) {
    state.stopwatch.reset(new CTime());
    state.stopwatch->start();
  }
  return composeIfDue(state);
}

template <typename T>
bool VideoOutput<T>::composeIfDue(LoopState& state) {
  bool changed = false;
  {
    LockGuard render(lockManager_, renderLock_, LockMode::Locked);
    LockGuard selection(lockManager_, selectionLock_, LockMode::Locked);
    for (Channel* channel : selectedChannels_) {
      bool channelChanged = false;
      channel->selectFrame(channelChanged);
      changed = changed || channelChanged;
    }
  }
  // Before drawing: the engine hears of its frames as soon as the selection is done, and what
  // it changes from inside its notifications is drawn in this pass.
  raiseNotices();
  if (!changed && state.stopwatch->elapsed() < kRecomposeIntervalMs) return false;
  {
    LockGuard render(lockManager_, renderLock_, LockMode::Locked);
    LockGuard selection(lockManager_, selectionLock_, LockMode::Locked);
    beginFrame();
    for (Channel* channel : selectedChannels_) {
      typename Channel::QueueLock queue(channel->queueMutex());
      if (channel->hasPicture()) drawChannel(channel);
    }
    endFrame();
  }
  state.stopwatch->reset(0);
  return true;
}

template <typename T>
void VideoOutput<T>::raiseNotices() {
  // renderLock and selectionLock are still this thread's (the loop's None guards keep them):
  // no other thread can present, reset, retire or delete a channel until the events are out.
  // The guards here only make that explicit; they take nothing new.
  LockGuard render(lockManager_, renderLock_, LockMode::Locked);
  LockGuard selection(lockManager_, selectionLock_, LockMode::Locked);
  // Swapped, not copied: both buffers keep their capacity, so a pass allocates nothing here.
  raisingNotices_.swap(notices_);
  for (const Notice& notice : raisingNotices_) {
    Channel* channel = notice.channel;
    switch (notice.kind) {
      case Notice::kDroppedLate:
        context_->channelEvent(channel->id, KMC::kEventDroppedLate, notice.frame);
        notice.frame->release();
        break;
      case Notice::kPresented: {
        // An earlier event's answer may have reset the channel: a frame it no longer shows may
        // be released already and is not reported.
        bool shown;
        {
          typename Channel::QueueLock queue(channel->queueMutex());
          shown = channel->currentFrame == notice.frame;
        }
        if (shown) context_->channelEvent(channel->id, KMC::kEventPresented, notice.frame);
        break;
      }
      case Notice::kConverted:
        context_->channelEvent(channel->id, KMC::kEventRendererObject, notice.frame);
        notice.frame->release();
        break;
      case Notice::kVideoSize:
        context_->videoSizeChanged(notice.width, notice.height);
        break;
    }
  }
  raisingNotices_.clear();
}

template <typename T>
template <typename Work>
void VideoOutput<T>::underChannelList(Work work) {
  {
    LockGuard render(lockManager_, renderLock_, LockMode::Locked);
    LockGuard list(lockManager_, channelListLock_, LockMode::Locked);
    work();
  }
  releaseKept(channelListLock_);
}

template <typename T>
void VideoOutput<T>::channelUpkeep() {
  // renderLock too: a held channel is resumed (a renderer call under renderLock) as it goes.
  underChannelList([&] {
    for (auto it = channels_.begin(); it != channels_.end();) {
      Channel* channel = *it;
      if (channel->isClosing()) {
        it = channels_.erase(it);
        retireChannel(channel);
      } else {
        ++it;
      }
    }
  });
}

template <typename T>
void VideoOutput<T>::holdChannels() {
  underChannelList([&] {
    for (Channel* channel : channels_) {
      typename Channel::QueueLock queue(channel->queueMutex());
      channel->hold();  // its pull thread pauses until resumeChannels
      holdChannel(channel);
      heldChannels_.push_back(channel);
    }
    channelsHeld_ = true;
  });
}

template <typename T>
void VideoOutput<T>::resumeChannels() {
  underChannelList([&] {
    for (Channel* channel : heldChannels_) {
      typename Channel::QueueLock queue(channel->queueMutex());
      resumeChannel(channel);
      channel->resume();
    }
    heldChannels_.clear();
    channelsHeld_ = false;
  });
}

template <typename T>
bool VideoOutput<T>::dueTimeWait() {
  int64_t waitMs = kMaxDueWaitMs;
  bool clockRuns = false;
  {
    LockGuard list(lockManager_, channelListLock_, LockMode::Locked);
    const int32_t rate = clock_ ? clock_->rate() : 0;
    // A running clock at rate 0 is one where no time passes: it waits like a stopped one.
    clockRuns = clock_ && clock_->isRunning() && rate != 0;
    if (clockRuns) {
      const int64_t now = clock_->currentTime();
      int64_t wait = kMaxDueWaitMs;
      for (Channel* channel : channels_) {
        wait = std::min(wait, std::max<int64_t>(channel->dueTime(now) - now, 0));
      }
      waitMs = wait * kNormalRate / rate;
    }
  }
  releaseKept(channelListLock_);
  if (!clockRuns) {
    idle(static_cast<uint32_t>(kMaxDueWaitMs));
    return true;
  }
  if (waitMs > kShortestIdleMs) {
    idle(static_cast<uint32_t>(waitMs / 2));
    return true;
  }
  return false;
}

template <typename T>
void VideoOutput<T>::finishLoop() {
  if (channelsHeld_) resumeChannels();  // never leave a channel held behind
  // Closing channels are retired for removePort; the others stay for a later loop run.
  channelUpkeep();
  {
    LockGuard list(lockManager_, channelListLock_, LockMode::Locked);
    loopRunning_.store(false);
  }
  {
    LockGuard render(lockManager_, renderLock_, LockMode::Locked);
    shutdownRenderer();
  }
}

}  // namespace KMC
