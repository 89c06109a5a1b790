// VideoOutput<T>: commands, the channel selection parameters and the component properties.
// Part of video_output.h.
#pragma once

#include <list>

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

// The payload of both selection parameters points to an engine-owned list of channel ids.
template <typename T>
bool VideoOutput<T>::getParameter(int32_t id, PropertyValue* out) {
  if (id != kParameterSelectedChannels || !out) return false;
  std::list<int32_t>* ids = static_cast<std::list<int32_t>*>(out->payload.pointer);
  if (!ids) return false;
  LockGuard selection(lockManager_, selectionLock_, LockMode::Locked);
  for (Channel* channel : selectedChannels_) ids->push_back(channel->id);
  return true;
}

template <typename T>
bool VideoOutput<T>::setParameter(int32_t id, PropertyValue* value) {
  if (id != kParameterSelectChannels || !value) return false;
  const std::list<int32_t>* ids = static_cast<const std::list<int32_t>*>(value->payload.pointer);
  if (!ids) return false;
  LockGuard selection(lockManager_, selectionLock_, LockMode::Locked);
  LockGuard list(lockManager_, channelListLock_, LockMode::Locked);  // channels is read
  selectedChannels_.clear();
  for (int32_t wanted : *ids) {
    for (Channel* channel : channels_) {
      if (channel->id == wanted && !channel->isClosing()) selectedChannels_.push_back(channel);
    }
  }
  return true;
}

template <typename T>
bool VideoOutput<T>::listProperties(std::vector<const char*>* out) {
  if (!out) return false;
  for (const auto& property : properties_) out->push_back(property.first);
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
