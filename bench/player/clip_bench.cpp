// What the player spends making one frame of the built-in clip, at the benchmark matrix's
// sizes, against memcpy of the same bytes in the same run. Counter "x_memcpy": time per frame
// over memcpy's time for the frame's bytes (1.0 = as fast as memcpy).
//
// BM_MemcpyFrame is also the reference of bench/player/run.sh, which reports the whole
// process's CPU time per presented frame in units of it.
#include <benchmark/benchmark.h>

#include "memcpy_reference.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "clip.h"
#include "frame_pool.h"

namespace {

using Clock = std::chrono::steady_clock;

void BM_MemcpyFrame(benchmark::State& state) {
  size_t bytes = size_t(state.range(0)) * size_t(state.range(1)) * 4;
  std::vector<char> from(bytes, 1), to(bytes, 0);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

// Draws frame after frame into one buffer with draw(buffer, frame).
template <typename Draw>
void drawFrames(benchmark::State& state, Draw draw) {
  int w = int(state.range(0)), h = int(state.range(1));
  size_t bytes = size_t(w) * size_t(h) * 4;
  std::vector<uint32_t> pixels(size_t(w) * size_t(h));
  play::PixelBuffer target{pixels.data(), w, h, w};
  int frame = 0;
  auto t0 = Clock::now();
  for (auto _ : state) {
    draw(target, frame++);
    benchmark::ClobberMemory();
  }
  double perFrame = std::chrono::duration<double>(Clock::now() - t0).count() / double(state.iterations());
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
  state.counters["x_memcpy"] = perFrame / bench::memcpySeconds(bytes);
}

void BM_DrawPicture(benchmark::State& state) {
  drawFrames(state, [](const play::PixelBuffer& target, int frame) { play::drawPicture(target, frame, 0); });
}

void BM_DrawOverlay(benchmark::State& state) {
  drawFrames(state, [](const play::PixelBuffer& target, int frame) { play::drawOverlay(target, frame); });
}

// A frame's whole life on the player's side: taken from the pool (a recycled buffer), drawn,
// released.
void BM_PooledFrameCycle(benchmark::State& state) {
  int w = int(state.range(0)), h = int(state.range(1));
  size_t bytes = size_t(w) * size_t(h) * 4;
  play::FramePool pool;
  int frame = 0;
  auto t0 = Clock::now();
  for (auto _ : state) {
    play::PooledFrame* sample = pool.make(40, 40, w, h);
    play::drawPicture(play::PixelBuffer{sample->data(), w, h, w}, frame++, 0);
    sample->release();
  }
  double perFrame = std::chrono::duration<double>(Clock::now() - t0).count() / double(state.iterations());
  state.counters["x_memcpy"] = perFrame / bench::memcpySeconds(bytes);
  state.counters["buffers"] = double(pool.buffersAllocated());
}

void sizes(benchmark::internal::Benchmark* b) {
  b->Args({1280, 720})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_MemcpyFrame)->Apply(sizes);
BENCHMARK(BM_DrawPicture)->Apply(sizes);
BENCHMARK(BM_DrawOverlay)->Apply(sizes);
BENCHMARK(BM_PooledFrameCycle)->Apply(sizes);

}  // namespace

BENCHMARK_MAIN();
