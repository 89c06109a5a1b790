// The physical reference of the pixel benchmarks: copying the same bytes with memcpy.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

namespace bench {

// Best of several memcpys of bytes between two warmed buffers, in seconds.
inline double memcpySeconds(size_t bytes) {
  static std::vector<char> from, to;
  from.assign(bytes, 1);
  to.assign(bytes, 0);
  double best = 1e9;
  for (int i = 0; i < 30; ++i) {
    auto start = std::chrono::steady_clock::now();
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::ClobberMemory();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

}  // namespace bench
