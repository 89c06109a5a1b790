// Statistics over a benchmark's repetitions that Google Benchmark does not compute itself.
#pragma once

#include <algorithm>
#include <vector>

namespace bench {

// The fastest repetition, reported beside the mean and median with
// ->ComputeStatistics("min", bench::fastest).
inline double fastest(const std::vector<double>& values) {
  return *std::min_element(values.begin(), values.end());
}

}  // namespace bench
