#include "engine/release_ledger.h"

namespace host {

int64_t ReleaseLedger::enter() {
  std::lock_guard<std::mutex> hold(lock_);
  releaseCounts_.push_back(0);
  return static_cast<int64_t>(releaseCounts_.size()) - 1;
}

bool ReleaseLedger::recordRelease(int64_t serial) {
  std::lock_guard<std::mutex> hold(lock_);
  int32_t& count = releaseCounts_[static_cast<size_t>(serial)];
  if (++count > 1) {
    ++extraReleases_;
    return false;
  }
  ++released_;
  return true;
}

int32_t ReleaseLedger::releaseCount(int64_t serial) const {
  std::lock_guard<std::mutex> hold(lock_);
  return releaseCounts_[static_cast<size_t>(serial)];
}

int64_t ReleaseLedger::created() const {
  std::lock_guard<std::mutex> hold(lock_);
  return static_cast<int64_t>(releaseCounts_.size());
}

int64_t ReleaseLedger::released() const {
  std::lock_guard<std::mutex> hold(lock_);
  return released_;
}

int64_t ReleaseLedger::extraReleases() const {
  std::lock_guard<std::mutex> hold(lock_);
  return extraReleases_;
}

std::vector<int64_t> ReleaseLedger::unreleased() const {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<int64_t> out;
  for (size_t i = 0; i < releaseCounts_.size(); ++i) {
    if (releaseCounts_[i] == 0) out.push_back(static_cast<int64_t>(i));
  }
  return out;
}

bool ReleaseLedger::allReleasedExactlyOnce() const {
  std::lock_guard<std::mutex> hold(lock_);
  return extraReleases_ == 0 && released_ == static_cast<int64_t>(releaseCounts_.size());
}

}  // namespace host
