#include "engine/upstream_source.h"

namespace host {

bool ScriptedSource::pull(int32_t code, KMC::PropertyValue* out) {
  if (pullHook_) pullHook_();
  std::lock_guard<std::mutex> hold(lock_);
  ++pulls_;
  lastCode_ = code;
  if (script_.empty()) return exhaustedAnswer_;
  KMC::VideoSample* frame = script_.front();
  script_.pop_front();
  ++handedOut_;
  if (out) *out = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, frame);
  return true;
}

void ScriptedSource::append(KMC::VideoSample* frame) {
  std::lock_guard<std::mutex> hold(lock_);
  script_.push_back(frame);
}

void ScriptedSource::setExhaustedAnswer(bool answer) {
  std::lock_guard<std::mutex> hold(lock_);
  exhaustedAnswer_ = answer;
}

int64_t ScriptedSource::pulls() const {
  std::lock_guard<std::mutex> hold(lock_);
  return pulls_;
}

int64_t ScriptedSource::framesHandedOut() const {
  std::lock_guard<std::mutex> hold(lock_);
  return handedOut_;
}

size_t ScriptedSource::remaining() const {
  std::lock_guard<std::mutex> hold(lock_);
  return script_.size();
}

int32_t ScriptedSource::lastCode() const {
  std::lock_guard<std::mutex> hold(lock_);
  return lastCode_;
}

}  // namespace host
