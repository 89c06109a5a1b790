// An upstream source for pull channels: hands out a script of frames, one per pull.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>

#include "abi/engine_objects.h"

namespace host {

// Thread-safe. Each pull answers true with the next scripted frame (possibly null); when the
// script is empty it answers exhaustedAnswer (false by default: nothing available yet).
// Frames handed out belong to the puller.
class ScriptedSource final : public KMC::UpstreamSource {
 public:
  // Entry 0 of the engine object (abi/abi.h); the plug-in never calls it.
  void* deletingDestructor(uint32_t flags) override { return KMC::runDeletingDestructor(this, flags); }
  bool pull(int32_t code, KMC::PropertyValue* out) override;

  void append(KMC::VideoSample* frame);
  void setExhaustedAnswer(bool answer);
  // Runs at the start of every pull, on the pulling thread and without the source's lock: a
  // slow source sleeps there, a source may call back into the component from there. Set it
  // before the source is connected.
  void setPullHook(std::function<void()> hook) { pullHook_ = std::move(hook); }
  int64_t pulls() const;
  // Pulls that answered a frame (null frames included).
  int64_t framesHandedOut() const;
  size_t remaining() const;
  int32_t lastCode() const;

 private:
  mutable std::mutex lock_;
  std::deque<KMC::VideoSample*> script_;
  std::function<void()> pullHook_;
  bool exhaustedAnswer_ = false;
  int64_t pulls_ = 0;
  int64_t handedOut_ = 0;
  int32_t lastCode_ = 0;
};

}  // namespace host
