// VideoOutput<T>: construction, create, the output thread and destroy. Part of video_output.h.
#pragma once

#include <cstring>
#include <mutex>

#include "framework/identifiers.h"
#include "framework/setting.h"
#include "logging/logger.h"
#include "threading/sleep_milliseconds.h"
#include "videooutput/frame_schedule.h"

namespace KMC {

// How often a create waiting for the renderer's initialisation looks again.
const uint32_t kCreatePollMs = 5;

template <typename T>
VideoOutput<T>::VideoOutput(PluginHost* host)
    : PluginBase(host),
      OutputComponent{nullptr},
      stopFlag_(false),
      channelListLock_(0),
      selectionLock_(0),
      context_(nullptr),
      outputThread_(nullptr),
      renderLock_(0),
      clock_(nullptr),
      initialized_(false),
      active_(false),
      formatsPending_(true),
      initFailed_(false),
      channelsHeld_(false),
      reconfigureRequested_(false),
      rendererReady_(false),
      frameTolerance_(kFrameToleranceMs),
      integerPropertyA_(-1),
      integerPropertyB_(-1),
      loopRunning_(false),
      passes_(0) {
  virtualBaseOffsets = virtualBaseOffsetTable();
  // Created last and in this order, so that their ids ascend render < selection < channel
  // list and the lock manager makes every thread take them in that order.
  renderLock_ = lockManager_.createLock();
  selectionLock_ = lockManager_.createLock();
  channelListLock_ = lockManager_.createLock();
}

template <typename T>
const int32_t* VideoOutput<T>::virtualBaseOffsetTable() {
  // Only the positions of the parts are read, which the class fixes; nothing of the object is.
  const char* part = reinterpret_cast<const char*>(static_cast<OutputComponent*>(this));
  static const int32_t offsets[3] = {
      0,
      static_cast<int32_t>(reinterpret_cast<const char*>(static_cast<ComponentInterface*>(this)) - part),
      static_cast<int32_t>(reinterpret_cast<const char*>(static_cast<OutputInterface*>(this)) - part),
  };
  return offsets;
}

template <typename T>
VideoOutput<T>::~VideoOutput() {
  // The renderer's destructor has normally ended everything through
  // endOutputBeforeDestruction. What a renderer left is deleted without any renderer call: its
  // part of the object is gone already.
  joinOutputThread();
  takeDownChannels(Detach::kWithoutRenderer, Retired::kTakenDown);
}

template <typename T>
void VideoOutput<T>::endOutputBeforeDestruction() {
  joinOutputThread();
  takeDownChannels(Detach::kFromRenderer, Retired::kTakenDown);
}

template <typename T>
void VideoOutput<T>::joinOutputThread() {
  // Held through the join: a second destroy on another thread waits here until the thread has
  // ended, instead of taking the channels down under a loop that still runs.
  std::lock_guard<std::mutex> hold(outputThreadMutex_);
  if (!outputThread_) return;
  stopFlag_.store(true);
  outputThread_->join();
  delete outputThread_;
  outputThread_ = nullptr;
}

template <typename T>
bool VideoOutput<T>::hasOutputThread() const {
  std::lock_guard<std::mutex> hold(outputThreadMutex_);
  return outputThread_ != nullptr;
}

template <typename T>
bool VideoOutput<T>::startOutputThread(uint64_t& destroysBefore) {
  std::lock_guard<std::mutex> hold(outputThreadMutex_);
  if (outputThread_) return false;
  destroysBefore = destroys_.load();
  stopFlag_.store(false);
  outputThread_ = new boost::thread(&VideoOutput::outputThreadMain, this);
  return true;
}

template <typename T>
void VideoOutput<T>::takeDownChannels(Detach detach, Retired retired) {
  ChannelList doomed;
  {
    LockGuard selection(lockManager_, selectionLock_, LockMode::Locked);
    LockGuard list(lockManager_, channelListLock_, LockMode::Locked);
    unlinkChannels(channels_, doomed, detach);
    if (retired == Retired::kTakenDown) unlinkChannels(retiredChannels_, doomed, detach);
  }
  for (Channel* channel : doomed) deleteChannel(channel);
}

template <typename T>
ResultCode VideoOutput<T>::queryInterface(const NarrowString& id, void** out) {
  if (!out) return kResultNotFound;
  *out = nullptr;
  if (id == kComponentInterfaceId) {
    *out = static_cast<ComponentInterface*>(this);
  } else if (id == kOutputInterfaceId) {
    *out = static_cast<OutputInterface*>(this);
  } else if (id == kOutputComponentId) {
    *out = static_cast<OutputComponent*>(this);
  } else {
    return kResultNotFound;
  }
  return kResultOk;
}

template <typename T>
bool VideoOutput<T>::deactivate() {
  return true;
}

template <typename T>
bool VideoOutput<T>::create(ComponentContext* context) {
  Logger::write(Logger::instance(), "Rendering", "KMC::VideoOutput<class KMC::Tavorin>::create", 1034,
                "Video Renderer Creation");
  if (hasOutputThread()) return false;
  if (!context) return false;
  context_ = context;
  clock_ = context->getClock();

  readFormatCacheSetting(context);

  if (formatsPending_ && registerFormats(kFormatsAskedByCreate)) formatsPending_ = false;

  uint64_t destroysBefore = 0;
  if (!startOutputThread(destroysBefore)) return false;  // another create was faster

  // No time limit: the renderer initialises once the engine has given it a drawing target. An
  // engine that gives up waiting for one (its window was closed) destroys the output from
  // another thread: then create answers false.
  while (!initialized_.load()) {
    if (destroys_.load() != destroysBefore) return false;
    if (initFailed_.load()) {
      destroy();
      return false;
    }
    sleepMilliseconds(kCreatePollMs);
  }
  if (destroys_.load() != destroysBefore) return false;
  active_.store(true);
  return true;
}

template <typename T>
void VideoOutput<T>::outputThreadMain() {
  outputOfThread() = this;
  while (!stopFlag_.load()) runOutputRound();
}

template <typename T>
bool VideoOutput<T>::destroy() {
  Logger::write(Logger::instance(), "Rendering", "KMC::VideoOutput<class KMC::Tavorin>::destroy", 1092,
                "Video Render Destruction");
  // Called from inside a notification or a pull, it would join or delete the very thread it
  // runs on: refused, nothing changes.
  if (onOutputThread() || onOwnPullThread()) return false;
  destroys_.fetch_add(1);  // a create still waiting for initialisation gives up
  // The output thread goes first: once it has ended no pass can be using a channel (selected,
  // or held for a reconfiguration) while it is taken down here. The caller's locks are let go
  // only while there is a thread to wait for.
  if (hasOutputThread()) {
    LockGuard list(lockManager_, channelListLock_, LockMode::Unlocked);
    LockGuard render(lockManager_, renderLock_, LockMode::Unlocked);
    joinOutputThread();
  }
  // Retired channels wait for removePort: their ports are still the engine's.
  takeDownChannels(Detach::kFromRenderer, Retired::kLeftForRemovePort);
  formatCache_.purge();
  // A destroyed output can be created again, and initialises anew then.
  initialized_.store(false);
  initFailed_.store(false);
  active_.store(false);
  return true;
}

template <typename T>
void VideoOutput<T>::unlinkChannels(ChannelList& list, ChannelList& doomed, Detach detach) {
  for (Channel* channel : list) {
    selectedChannels_.remove(channel);
    if (detach == Detach::kFromRenderer) detachFromRenderer(channel);
    doomed.push_back(channel);
  }
  list.clear();
}

template <typename T>
void VideoOutput<T>::deleteChannel(Channel* channel) {
  channel->stopPulling();  // first: the source may still use the port until its pull returns
  delete channel->takePort();
  delete channel;  // releases what is still queued, and a current frame never detached
}

template <typename T>
bool VideoOutput<T>::onOwnPullThread() const {
  const Channel* channel = Channel::pullingChannel();
  return channel && channel->owner().belongsTo(this);
}

template <typename T>
void VideoOutput<T>::requestReconfiguration() {
  LockGuard render(lockManager_, renderLock_, LockMode::Locked);
  reconfigureRequested_.store(true);
}

template <typename T>
size_t VideoOutput<T>::channelCount() {
  LockGuard list(lockManager_, channelListLock_, LockMode::Locked);
  return channels_.size();
}

template <typename T>
size_t VideoOutput<T>::retiredChannelCount() {
  LockGuard list(lockManager_, channelListLock_, LockMode::Locked);
  return retiredChannels_.size();
}

}  // namespace KMC
