// VideoOutput<T>: commands, the channel selection parameters and the component properties.
// Part of video_output.h.
#pragma once

#include "abi/engine_containers.h"

namespace KMC {

template <typename T>
bool VideoOutput<T>::sendCommand(int32_t code, int32_t argument) {
  (void)argument;  // no command uses it
  switch (code) {
    case kCommandActivate:
      active_.store(true);
      break;
    case kCommandDeactivate:
      active_.store(false);
      break;
    case kCommandReconfigure:
      requestReconfiguration();
      break;
    default:
      break;  // unknown commands are accepted
  }
  return true;
}

// The payload of both selection parameters points to an engine-owned list of channel ids. An
// id that cannot be appended (no memory, or a list without its sentinel) makes the answer false;
// the ids appended before it stay.
template <typename T>
bool VideoOutput<T>::getParameter(int32_t id, PropertyValue* out) {
  if (id != kParameterSelectedChannels || !out) return false;
  ChannelIdList* ids = static_cast<ChannelIdList*>(out->payload.pointer);
  if (!ids || !ids->head) return false;
  LockGuard selection(lockManager_, selectionLock_, LockMode::Locked);
  for (Channel* channel : selectedChannels_) {
    if (!ids->append(channel->id)) return false;
  }
  return true;
}

template <typename T>
bool VideoOutput<T>::setParameter(int32_t id, PropertyValue* value) {
  if (id != kParameterSelectChannels || !value) return false;
  const ChannelIdList* ids = static_cast<const ChannelIdList*>(value->payload.pointer);
  if (!ids || !ids->head) return false;
  LockGuard selection(lockManager_, selectionLock_, LockMode::Locked);
  LockGuard list(lockManager_, channelListLock_, LockMode::Locked);  // channels is read
  selectedChannels_.clear();
  ids->forEach([this](int32_t wanted) {
    for (Channel* channel : channels_) {
      if (channel->id == wanted && !channel->isClosing()) selectedChannels_.push_back(channel);
    }
  });
  return true;
}

template <typename T>
bool VideoOutput<T>::listProperties(EngineVector<const char*>* out) {
  if (!out) return false;
  for (const auto& property : properties_) {
    if (!out->append(property.first)) return false;
  }
  return true;
}

template <typename T>
bool VideoOutput<T>::getProperty(const char* name, PropertyValue* out) {
  if (!name) return false;
  auto found = properties_.find(name);
  if (found == properties_.end()) return false;
  if (out) *out = found->second;
  return true;
}

}  // namespace KMC
