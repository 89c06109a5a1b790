// VideoOutput<T>: creating and removing ports, and retiring their channels. Part of
// video_output.h.
#pragma once

#include <algorithm>
#include <vector>

#include "threading/sleep_milliseconds.h"

namespace KMC {

template <typename T>
PortInterface* VideoOutput<T>::createPort(int32_t channelKind, StreamDescriptor* descriptor, StreamObject* stream) {
  if (!descriptor || !stream) return nullptr;
  if (descriptor->kind != kStreamVideo && descriptor->kind != kStreamVideoAlternate) return nullptr;

  // In the output's order (video_output.h), also when the engine calls from inside channelEvent
  // with renderLock and selectionLock held.
  LockGuard selection(lockManager_, selectionLock_, LockMode::Locked);
  LockGuard list(lockManager_, channelListLock_, LockMode::Locked);
  Channel* channel = new Channel(this, channelKind == kChannelPull, descriptor);
  Port* port = new Port(channel);
  channel->setPort(port);
  channel->id = stream->channelId();
  channel->setAttached(true);
  if (attachChannel(channel) && channel->isPull()) channel->wakePuller();
  stream->setTimeMultiplier(static_cast<TimeMultiplierInterface*>(this));
  channels_.push_back(channel);
  return port;
}

template <typename T>
typename VideoOutput<T>::Channel* VideoOutput<T>::findByPort(ChannelList& list, PortInterface* port) {
  for (Channel* channel : list) {
    if (static_cast<PortInterface*>(channel->port()) == port) return channel;
  }
  return nullptr;
}

template <typename T>
void VideoOutput<T>::detachFromRenderer(Channel* channel) {
  // with channelListLock
  typename Channel::QueueLock queue(channel->queueMutex());
  channel->flush();
  if (channel->isHeld()) {
    // Held for a reconfiguration that has not finished: the renderer sees the hold end before
    // the channel goes, and the loop no longer counts it among the held ones.
    resumeChannel(channel);
    channel->resume();
    heldChannels_.erase(std::remove(heldChannels_.begin(), heldChannels_.end(), channel), heldChannels_.end());
  }
  if (channel->isAttached()) {
    detachChannel(channel);
    channel->setAttached(false);
  }
}

template <typename T>
void VideoOutput<T>::retireChannel(Channel* channel) {
  // with channelListLock
  detachFromRenderer(channel);
  channel->markRetired();
  retiredChannels_.push_back(channel);
}

// The channel leaves the lists only under all three component locks, and the one call that
// takes it out deletes it: a destroy or a second removePort meanwhile finds it gone and answers
// as for a port it does not know. While a presentation loop runs, the output thread retires
// the channel on its next pass (every pass, held channels too); the wait here holds no lock.
template <typename T>
bool VideoOutput<T>::removePort(PortInterface* port) {
  if (!port) return false;
  // The output thread would wait for its own next pass.
  if (onOutputThread()) return false;
  Channel* removed = nullptr;
  while (!removed) {
    {
      LockGuard render(lockManager_, renderLock_, LockMode::Locked);
      LockGuard selection(lockManager_, selectionLock_, LockMode::Locked);
      LockGuard list(lockManager_, channelListLock_, LockMode::Locked);
      Channel* channel = findByPort(retiredChannels_, port);
      if (channel) {
        if (channel->onPullThread()) return false;  // its own pull thread cannot be joined here
        retiredChannels_.remove(channel);
        removed = channel;
        continue;
      }
      channel = findByPort(channels_, port);
      if (!channel || channel->onPullThread()) return false;
      // A port that is still connected is disconnected first, or the wait would never end.
      if (!channel->isClosing()) channel->markDisconnected();
      if (!loopRunning_.load()) {
        // No presentation loop will retire it: do it here.
        channels_.remove(channel);
        retireChannel(channel);
        continue;
      }
    }
    sleepMilliseconds(5);
  }
  deleteChannel(removed);
  return true;
}

}  // namespace KMC
