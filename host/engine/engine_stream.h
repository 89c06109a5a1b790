// The engine's peer object of one stream, and the stream descriptors given to createPort.
#pragma once

#include <atomic>
#include <cstdint>

#include "framework/engine_codes.h"
#include "framework/engine_objects.h"
#include "framework/format_descriptor.h"

namespace host {

// Answers its channel id and records the time multiplier interface the output hands over.
class EngineStream : public KMC::StreamObject {
 public:
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
