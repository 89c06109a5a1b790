#include "engine/engine_context.h"

#include <cstring>

#include "abi/engine_codes.h"
#include "abi/identifiers.h"
#include "abi/setting.h"

namespace host {

namespace {
std::string keyOf(const std::string& path, const std::string& name) { return path + "/" + name; }
// The characters of an engine string (a null one has none).
std::string textOf(const KMC::NarrowString& text) {
  return text.data() ? std::string(text.data(), static_cast<size_t>(text.length())) : std::string();
}
}  // namespace

int32_t EngineContext::chooseVideoAdapter(KMC::StringList* kinds) {
  called("chooseVideoAdapter");
  std::lock_guard<std::mutex> hold(lock_);
  ++adapterChoices_;
  if (adapterChoice_ != kChooseByKind) return adapterChoice_;
  if (!kinds) return -1;
  int32_t index = 0;
  for (const KMC::Node<KMC::NarrowString>* node = kinds->head(); node; node = node->next, ++index) {
    if (node->value.data() && std::strcmp(node->value.data(), KMC::identifier::kVideoAdapterHWND) == 0) return index;
  }
  return -1;
}

int32_t EngineContext::setVideoAdapter(KMC::VideoAdapterUnknown* adapter) {
  called("setVideoAdapter");
  std::lock_guard<std::mutex> hold(lock_);
  adapter_ = adapter;
  return 0;
}

int32_t EngineContext::videoSizeChanged(int32_t width, int32_t height) {
  called("videoSizeChanged");
  std::lock_guard<std::mutex> hold(lock_);
  videoSizes_.push_back(SizeRecord{width, height});
  return 0;
}

int32_t EngineContext::windowSizeChanged(int32_t width, int32_t height) {
  called("windowSizeChanged");
  std::lock_guard<std::mutex> hold(lock_);
  windowSizes_.push_back(SizeRecord{width, height});
  return 0;
}

int32_t EngineContext::channelEvent(int32_t channelId, int32_t code, KMC::VideoSample* object) {
  called("channelEvent");
  int32_t start = 0;
  if (object && (code == KMC::kEventPresented || code == KMC::kEventDroppedLate)) start = object->startTime;
  {
    std::lock_guard<std::mutex> hold(lock_);
    events_.push_back(ChannelEventRecord{channelId, code, object, start});
  }
  if (eventHook_) eventHook_(channelId, code, object);
  return 0;
}

bool EngineContext::getSetting(KMC::Setting& setting, KMC::PropertyValue* out) {
  std::lock_guard<std::mutex> hold(lock_);
  ++settingQueries_;
  auto found = settings_.find(keyOf(textOf(setting.path()), textOf(setting.name())));
  if (found == settings_.end()) return false;
  if (out) *out = KMC::PropertyValue::ofInt32(found->second);
  return true;
}

void EngineContext::setSetting(const std::string& path, const std::string& name, int32_t value) {
  std::lock_guard<std::mutex> hold(lock_);
  settings_[keyOf(path, name)] = value;
}

void EngineContext::removeSetting(const std::string& path, const std::string& name) {
  std::lock_guard<std::mutex> hold(lock_);
  settings_.erase(keyOf(path, name));
}

std::vector<ChannelEventRecord> EngineContext::channelEvents() const {
  std::lock_guard<std::mutex> hold(lock_);
  return events_;
}

std::vector<ChannelEventRecord> EngineContext::channelEvents(int32_t code, int32_t channelId) const {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<ChannelEventRecord> out;
  for (const ChannelEventRecord& record : events_) {
    if (record.code == code && (channelId == -1 || record.channelId == channelId)) out.push_back(record);
  }
  return out;
}

std::vector<SizeRecord> EngineContext::videoSizes() const {
  std::lock_guard<std::mutex> hold(lock_);
  return videoSizes_;
}

std::vector<SizeRecord> EngineContext::windowSizes() const {
  std::lock_guard<std::mutex> hold(lock_);
  return windowSizes_;
}

KMC::VideoAdapterUnknown* EngineContext::videoAdapter() const {
  std::lock_guard<std::mutex> hold(lock_);
  return adapter_;
}

int32_t EngineContext::adapterChoices() const {
  std::lock_guard<std::mutex> hold(lock_);
  return adapterChoices_;
}

int32_t EngineContext::settingQueries() const {
  std::lock_guard<std::mutex> hold(lock_);
  return settingQueries_;
}

void EngineContext::clearRecords() {
  std::lock_guard<std::mutex> hold(lock_);
  events_.clear();
  videoSizes_.clear();
  windowSizes_.clear();
}

}  // namespace host
