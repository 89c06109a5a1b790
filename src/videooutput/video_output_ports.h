// VideoOutput<T>: creating and removing ports, and retiring their channels.
#pragma once

#include <algorithm>

#include "threading/sleep_milliseconds.h"

namespace KMC {

template <typename T>
PortInterface* VideoOutput<T>::createPort(int32_t channelKind, StreamDescriptor* descriptor, StreamObject* stream) {
  if (!descriptor || !stream) return nullptr;
  if (descriptor->kind != 1 && descriptor->kind != 4) return nullptr;

  LockGuard list(lockManager_, channelListLock_, LockMode::Locked);
  LockGuard selection(lockManager_, selectionLock_, LockMode::Locked);
  Channel* channel = new Channel(this, channelKind == 2, descriptor);
  Port* port = new Port(channel);
  channel->port_ = port;
  channel->id = stream->channelId();
  channel->attached_ = true;
  if (attachChannel(channel) && channel->isPull()) channel->wakeEvent_.set();
  stream->setTimeMultiplier(static_cast<TimeMultiplierInterface*>(this));
  channels_.push_back(channel);
  return port;
}

template <typename T>
typename VideoOutput<T>::Channel* VideoOutput<T>::findByPort(ChannelList& list, PortInterface* port) {
  for (Channel* channel : list) {
    if (static_cast<PortInterface*>(channel->port_) == port) return channel;
  }
  return nullptr;
}

template <typename T>
void VideoOutput<T>::retireChannel(Channel* channel) {
  // with channelListLock
  typename Channel::QueueLock queue(channel->queueMutex_);
  channel->flushQueue();
  if (channel->attached_) {
    detachChannel(channel);
    channel->attached_ = false;
  }
  channel->closing_.store(false);
  retiredChannels_.push_back(channel);
}

template <typename T>
bool VideoOutput<T>::removePort(PortInterface* port) {
  if (!port) return false;
  LockGuard list(lockManager_, channelListLock_, LockMode::Locked);
  for (;;) {
    Channel* channel = findByPort(retiredChannels_, port);
    if (channel) {
      retiredChannels_.remove(channel);
      delete channel->port_;
      channel->port_ = nullptr;
      delete channel;  // stops its pull thread
      return true;
    }
    channel = findByPort(channels_, port);
    if (!channel) return false;  // not ours (or deleted by destroy meanwhile)
    if (!loopRunning_.load()) {
      // No presentation loop will retire it: do it here.
      if (!channel->closing_.load()) channel->disconnect();
      channels_.remove(channel);
      retireChannel(channel);
      continue;
    }
    // The output thread retires a disconnected channel on its next pass. A port that is still
    // connected is disconnected first, or the wait would never end.
    LockGuard unlocked(lockManager_, channelListLock_, LockMode::Unlocked);
    if (!channel->closing_.load()) channel->disconnect();
    sleepMilliseconds(5);
  }
}

}  // namespace KMC
