// Lateness of presented frames in bounded memory, however long the run: a running count, sum,
// least and greatest value, and a histogram for the 95th percentile.
//
// The histogram has one bucket per millisecond from kExactLowest to kExactHighest, where
// every sane run's lateness lies, so the percentile there is the exact nearest rank. Values
// outside fall into buckets that double in width away from that range (2^k ms wide); a
// percentile landing in one of those is answered as the bucket's end farther from the range,
// clamped to the greatest (or least) value seen: off by less than the bucket's width. The buckets are allocated at the first value: about 20 KB per statistic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace play {

// Lateness of presented frames in media milliseconds: how far the clock had gone past the
// frame's due point when it was presented (negative: shown slightly early).
struct LatenessSummary {
  int64_t count = 0;
  double mean = 0;
  int32_t p95 = 0;  // nearest rank
  int32_t max = 0;
};

class LatenessStats {
 public:
  static constexpr int32_t kExactLowest = -1024;
  static constexpr int32_t kExactHighest = 4095;

  void add(int32_t lateness);
  // Adds everything `other` holds, as if its values had been added here.
  void merge(const LatenessStats& other);
  LatenessSummary summary() const;
  int64_t count() const { return count_; }

 private:
  // Where a value goes, and the value a percentile in a bucket is answered with.
  static size_t bucketOf(int32_t value);
  int32_t valueOf(size_t bucket) const;

  int64_t count_ = 0;
  int64_t sum_ = 0;
  int32_t least_ = 0, greatest_ = 0;
  std::vector<uint32_t> buckets_;  // empty until the first value
};

// The summary of a list of values (nearest-rank p95), as LatenessStats gives it.
LatenessSummary summarizeLateness(const std::vector<int32_t>& lateness);

}  // namespace play
