#include "lateness_stats.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace play {

namespace {

const size_t kExactCount = static_cast<size_t>(LatenessStats::kExactHighest - LatenessStats::kExactLowest + 1);
// Doubling buckets on either side: the k-th one (from 0) covers distances [2^k, 2^(k+1)) ms
// beyond the exact range; 32 of them reach past any 32-bit value.
const size_t kWideCount = 32;
const size_t kBucketCount = kWideCount + kExactCount + kWideCount;

// The index k of the doubling bucket for a distance of at least 1 ms past the exact range.
size_t wideIndex(int64_t distance) {
  size_t k = 0;
  while (k + 1 < kWideCount && (int64_t{1} << (k + 1)) <= distance) ++k;
  return k;
}

}  // namespace

size_t LatenessStats::bucketOf(int32_t value) {
  if (value < kExactLowest) return kWideCount - 1 - wideIndex(static_cast<int64_t>(kExactLowest) - value);
  if (value > kExactHighest) return kWideCount + kExactCount + wideIndex(static_cast<int64_t>(value) - kExactHighest);
  return kWideCount + static_cast<size_t>(value - kExactLowest);
}

int32_t LatenessStats::valueOf(size_t bucket) const {
  if (bucket >= kWideCount && bucket < kWideCount + kExactCount) {
    return static_cast<int32_t>(static_cast<int64_t>(bucket - kWideCount) + kExactLowest);
  }
  // A doubling bucket: its far end from the exact range, within what was seen.
  if (bucket < kWideCount) {
    size_t k = kWideCount - 1 - bucket;
    int64_t farEnd = static_cast<int64_t>(kExactLowest) - ((int64_t{1} << (k + 1)) - 1);
    return static_cast<int32_t>(std::max<int64_t>(farEnd, least_));
  }
  size_t k = bucket - kWideCount - kExactCount;
  int64_t farEnd = static_cast<int64_t>(kExactHighest) + ((int64_t{1} << (k + 1)) - 1);
  return static_cast<int32_t>(std::min<int64_t>(farEnd, greatest_));
}

void LatenessStats::add(int32_t lateness) {
  if (buckets_.empty()) buckets_.assign(kBucketCount, 0);
  least_ = count_ == 0 ? lateness : std::min(least_, lateness);
  greatest_ = count_ == 0 ? lateness : std::max(greatest_, lateness);
  ++count_;
  sum_ += lateness;
  ++buckets_[bucketOf(lateness)];
}

void LatenessStats::merge(const LatenessStats& other) {
  if (other.count_ == 0) return;
  if (buckets_.empty()) buckets_.assign(kBucketCount, 0);
  least_ = count_ == 0 ? other.least_ : std::min(least_, other.least_);
  greatest_ = count_ == 0 ? other.greatest_ : std::max(greatest_, other.greatest_);
  count_ += other.count_;
  sum_ += other.sum_;
  for (size_t b = 0; b < kBucketCount; ++b) buckets_[b] += other.buckets_[b];
}

LatenessSummary LatenessStats::summary() const {
  LatenessSummary summary;
  if (count_ == 0) return summary;
  summary.count = count_;
  summary.mean = static_cast<double>(sum_) / static_cast<double>(count_);
  summary.max = greatest_;
  int64_t rank = std::max<int64_t>(static_cast<int64_t>(std::ceil(0.95 * static_cast<double>(count_))), 1);
  int64_t seen = 0;
  for (size_t b = 0; b < kBucketCount; ++b) {
    seen += buckets_[b];
    if (seen >= rank) {
      summary.p95 = valueOf(b);
      break;
    }
  }
  return summary;
}

LatenessSummary summarizeLateness(const std::vector<int32_t>& lateness) {
  LatenessStats stats;
  for (int32_t value : lateness) stats.add(value);
  return stats.summary();
}

}  // namespace play
