// VideoOutput<T>: construction, create, the output thread and destroy.
#pragma once

#include <cstring>

#include "framework/identifiers.h"
#include "framework/setting.h"
#include "logging/logger.h"
#include "threading/sleep_milliseconds.h"

namespace KMC {

template <typename T>
VideoOutput<T>::VideoOutput(PluginHost* host)
    : Plugin(host),
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
      frameTolerance_(10),
      integerPropertyA_(-1),
      integerPropertyB_(-1),
      loopRunning_(false),
      passes_(0) {
  // Created last and in this order, so that their ids ascend render < selection < channel
  // list and the lock manager makes every thread take them in that order.
  renderLock_ = lockManager_.createLock();
  selectionLock_ = lockManager_.createLock();
  channelListLock_ = lockManager_.createLock();
}

template <typename T>
VideoOutput<T>::~VideoOutput() {
  // destroy has stopped the output thread; what is left are ports the engine never removed.
  if (outputThread_) {
    stopFlag_.store(true);
    outputThread_->join();
    delete outputThread_;
    outputThread_ = nullptr;
  }
  LockGuard list(lockManager_, channelListLock_, LockMode::Locked);
  selectedChannels_.clear();
  // The renderer part is gone already: no renderer operation may be called from here.
  for (Channel* channel : channels_) deleteChannel(channel, false);
  for (Channel* channel : retiredChannels_) deleteChannel(channel, false);
  channels_.clear();
  retiredChannels_.clear();
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
  if (outputThread_) return false;
  if (!context) return false;
  context_ = context;
  clock_ = context->getClock();

  readFormatCacheSetting(context);

  if (formatsPending_ && registerFormats(0)) formatsPending_ = false;

  stopFlag_.store(false);
  outputThread_ = new boost::thread(&VideoOutput::outputThreadMain, this);

  // No time limit: the renderer initialises once the engine has given it a drawing target.
  while (!initialized_.load()) {
    if (initFailed_.load()) {
      destroy();
      return false;
    }
    sleepMilliseconds(5);
  }
  active_.store(true);
  return true;
}

template <typename T>
void VideoOutput<T>::outputThreadMain() {
  while (!stopFlag_.load()) runOutputRound();
}

template <typename T>
bool VideoOutput<T>::destroy() {
  Logger::write(Logger::instance(), "Rendering", "KMC::VideoOutput<class KMC::Tavorin>::destroy", 1092,
                "Video Render Destruction");
  // The output thread goes first: once it has ended no pass can be using a channel (selected,
  // or held for a reconfiguration with its queueMutex locked) while it is deleted here.
  if (outputThread_) {
    LockGuard list(lockManager_, channelListLock_, LockMode::Unlocked);
    LockGuard render(lockManager_, renderLock_, LockMode::Unlocked);
    stopFlag_.store(true);
    outputThread_->join();
    delete outputThread_;
    outputThread_ = nullptr;
  }
  {
    LockGuard selection(lockManager_, selectionLock_, LockMode::Locked);
    LockGuard list(lockManager_, channelListLock_, LockMode::Locked);
    selectedChannels_.clear();
    // Retired channels wait for removePort: their ports are still the engine's.
    for (Channel* channel : channels_) deleteChannel(channel, true);
    channels_.clear();
  }
  formatCache_.purge();
  // A destroyed output can be created again, and initialises anew then.
  initialized_.store(false);
  initFailed_.store(false);
  active_.store(false);
  return true;
}

template <typename T>
void VideoOutput<T>::deleteChannel(Channel* channel, bool detach) {
  // with channelListLock
  {
    typename Channel::QueueLock queue(channel->queueMutex_);
    channel->flushQueue();
    if (detach && channel->attached_) {
      detachChannel(channel);
      channel->attached_ = false;
    }
  }
  delete channel->port_;
  channel->port_ = nullptr;
  delete channel;
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
