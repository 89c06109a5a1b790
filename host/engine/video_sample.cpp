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
  int64_t serial = static_cast<int64_t>(samples_.size());
  samples_.emplace_back(new OwnedVideoSample(this, serial, width, height));
  releaseCounts_.push_back(0);
  OwnedVideoSample* sample = samples_.back().get();
  sample->startTime = startTime;
  sample->duration = duration;
  return sample;
}

int32_t SampleLedger::recordRelease(const OwnedVideoSample* sample) {
  std::lock_guard<std::mutex> hold(lock_);
  int32_t& count = releaseCounts_[static_cast<size_t>(sample->serial())];
  ++count;
  if (count == 1) {
    ++released_;
  } else {
    ++doubleReleases_;
  }
  return 0;
}

int32_t SampleLedger::releaseCountOf(const OwnedVideoSample* sample) const {
  std::lock_guard<std::mutex> hold(lock_);
  return releaseCounts_[static_cast<size_t>(sample->serial())];
}

int64_t SampleLedger::created() const {
  std::lock_guard<std::mutex> hold(lock_);
  return static_cast<int64_t>(samples_.size());
}

int64_t SampleLedger::released() const {
  std::lock_guard<std::mutex> hold(lock_);
  return released_;
}

int64_t SampleLedger::doubleReleases() const {
  std::lock_guard<std::mutex> hold(lock_);
  return doubleReleases_;
}

std::vector<const OwnedVideoSample*> SampleLedger::unreleased() const {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<const OwnedVideoSample*> out;
  for (size_t i = 0; i < samples_.size(); ++i) {
    if (releaseCounts_[i] == 0) out.push_back(samples_[i].get());
  }
  return out;
}

bool SampleLedger::allReleasedExactlyOnce() const {
  std::lock_guard<std::mutex> hold(lock_);
  return doubleReleases_ == 0 && released_ == static_cast<int64_t>(samples_.size());
}

}  // namespace host
