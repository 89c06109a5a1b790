// The engine's peer object of one stream, and the stream descriptors given to createPort.
#pragma once

#include <atomic>
#include <cstdint>

#include "abi/engine_codes.h"
#include "abi/engine_objects.h"
#include "abi/format_descriptor.h"

namespace host {

// Answers its channel id and records the time multiplier interface the output hands over.
class EngineStream final : public KMC::StreamObject {
 public:
  // Entry 0 of the engine object (abi/abi.h); the plug-in never calls it.
  void* deletingDestructor(uint32_t flags) override { return KMC::runDeletingDestructor(this, flags); }
  explicit EngineStream(int32_t channelId) : channelId_(channelId) {}

  int32_t channelId() override { return channelId_; }
  int32_t setTimeMultiplier(KMC::TimeMultiplierInterface* multiplier) override {
    multiplier_.store(multiplier);
    return 0;
  }

  KMC::TimeMultiplierInterface* timeMultiplier() const { return multiplier_.load(); }

 private:
  int32_t channelId_;
  std::atomic<KMC::TimeMultiplierInterface*> multiplier_{nullptr};
};

// A stream descriptor with format code fourCC ("BGRA", "BGRX"; at most 7 characters), media
// kind kind (1 or 4 for video) and cost 0.
KMC::StreamDescriptor makeStreamDescriptor(const char* fourCC, int32_t kind = KMC::kStreamVideo);

}  // namespace host
