#include "engine/video_sample.h"

#include <algorithm>

#include "engine/engine_values.h"

namespace host {

OwnedVideoSample::OwnedVideoSample(SampleLedger* ledger, int64_t serial, int32_t width, int32_t height)
    : ledger_(ledger),
      serial_(serial),
      pixels_(static_cast<size_t>(std::max(width, 1)) * static_cast<size_t>(std::max(height, 1)), 0u) {
  this->width = width;
  this->height = height;
  stride = width;
  usable = 1;
  crop = rectFloat(0, 0, 1, 1);
}

int32_t OwnedVideoSample::release() { return ledger_->recordRelease(this); }

void OwnedVideoSample::fill(uint32_t value) { std::fill(pixels_.begin(), pixels_.end(), value); }

int32_t OwnedVideoSample::releaseCount() const { return ledger_->releaseCountOf(this); }

OwnedVideoSample* SampleLedger::make(int32_t startTime, uint32_t duration, int32_t width, int32_t height) {
  std::lock_guard<std::mutex> hold(lock_);
  int64_t serial = releases_.enter();  // under lock_: serials follow samples_
  samples_.emplace_back(new OwnedVideoSample(this, serial, width, height));
  OwnedVideoSample* sample = samples_.back().get();
  sample->startTime = startTime;
  sample->duration = duration;
  return sample;
}

int32_t SampleLedger::recordRelease(const OwnedVideoSample* sample) {
  releases_.recordRelease(sample->serial());
  return 0;
}

int32_t SampleLedger::releaseCountOf(const OwnedVideoSample* sample) const {
  return releases_.releaseCount(sample->serial());
}

int64_t SampleLedger::created() const { return releases_.created(); }

int64_t SampleLedger::released() const { return releases_.released(); }

int64_t SampleLedger::doubleReleases() const { return releases_.extraReleases(); }

std::vector<const OwnedVideoSample*> SampleLedger::unreleased() const {
  std::vector<int64_t> serials = releases_.unreleased();
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<const OwnedVideoSample*> out;
  for (int64_t serial : serials) out.push_back(samples_[static_cast<size_t>(serial)].get());
  return out;
}

bool SampleLedger::allReleasedExactlyOnce() const { return releases_.allReleasedExactlyOnce(); }

}  // namespace host
