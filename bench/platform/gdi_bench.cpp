// GDI blits at the renderer's sizes, each against memcpy of the same bytes in the same run.
// Counter "x_memcpy": the blit's time per frame over memcpy's time for the bytes it writes
// (1.0 = as fast as memcpy).
#include "platform/win32.h"

#include <benchmark/benchmark.h>

#include "memcpy_reference.h"
#include "repetition_statistics.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

struct Canvas {
  Canvas(int w, int h) {
    HDC screen = GetDC(nullptr);
    dc = CreateCompatibleDC(screen);
    bitmap = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    old = SelectObject(dc, bitmap);
    std::vector<uint32_t> pixels(size_t(w) * h);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint32_t(i * 2654435761u);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    SetDIBits(dc, bitmap, 0, h, pixels.data(), &info, DIB_RGB_COLORS);
    SetStretchBltMode(dc, HALFTONE);
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
};

// Runs draw() per iteration and reports it against memcpy of the destination frame. The
// ratio is taken on the benchmark thread's CPU time, which other processes on the machine
// disturb far less than the wall clock.
template <class Draw>
void run(benchmark::State& state, int w, int h, Draw draw) {
  const size_t bytes = size_t(w) * h * 4;
  const double reference = bench::memcpySeconds(bytes);
  for (auto _ : state) draw();
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
  state.counters["x_memcpy"] = benchmark::Counter(double(state.iterations()) * reference,
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_memcpy_1920x1080(benchmark::State& state) {
  const size_t bytes = size_t(1920) * 1080 * 4;
  std::vector<char> from(bytes, 1), to(bytes, 0);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void BM_StretchBlt_SRCCOPY_1920x1080_1to1(benchmark::State& state) {
  Canvas src(1920, 1080), dst(1920, 1080);
  run(state, 1920, 1080,
      [&] { StretchBlt(dst.dc, 0, 0, 1920, 1080, src.dc, 0, 0, 1920, 1080, SRCCOPY); });
}

void BM_StretchBlt_HALFTONE_1280x720_to_1920x1080(benchmark::State& state) {
  Canvas src(1280, 720), dst(1920, 1080);
  run(state, 1920, 1080,
      [&] { StretchBlt(dst.dc, 0, 0, 1920, 1080, src.dc, 0, 0, 1280, 720, SRCCOPY); });
}

// The renderer's flipped draw: the same stretch with a negative destination height.
void BM_StretchBlt_HALFTONE_1280x720_to_1920x1080_flipped(benchmark::State& state) {
  Canvas src(1280, 720), dst(1920, 1080);
  run(state, 1920, 1080,
      [&] { StretchBlt(dst.dc, 0, 1079, 1920, -1080, src.dc, 0, 0, 1280, 720, SRCCOPY); });
}

void BM_StretchBlt_HALFTONE_1920x1080_to_960x540(benchmark::State& state) {
  Canvas src(1920, 1080), dst(960, 540);
  run(state, 960, 540,
      [&] { StretchBlt(dst.dc, 0, 0, 960, 540, src.dc, 0, 0, 1920, 1080, SRCCOPY); });
}

// The masked draw: SRCAND of the mask, then SRCPAINT of the picture (two frames written).
void BM_StretchBlt_SRCAND_SRCPAINT_1920x1080(benchmark::State& state) {
  Canvas mask(1920, 1080), picture(1920, 1080), dst(1920, 1080);
  run(state, 1920, 1080 * 2, [&] {
    StretchBlt(dst.dc, 0, 0, 1920, 1080, mask.dc, 0, 0, 1920, 1080, SRCAND);
    StretchBlt(dst.dc, 0, 0, 1920, 1080, picture.dc, 0, 0, 1920, 1080, SRCPAINT);
  });
}

void BM_StretchBlt_HALFTONE_SRCAND_SRCPAINT_1280x720_to_1920x1080(benchmark::State& state) {
  Canvas mask(1280, 720), picture(1280, 720), dst(1920, 1080);
  run(state, 1920, 1080 * 2, [&] {
    StretchBlt(dst.dc, 0, 0, 1920, 1080, mask.dc, 0, 0, 1280, 720, SRCAND);
    StretchBlt(dst.dc, 0, 0, 1920, 1080, picture.dc, 0, 0, 1280, 720, SRCPAINT);
  });
}

}  // namespace

BENCHMARK(BM_memcpy_1920x1080)->ComputeStatistics("min", bench::fastest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StretchBlt_SRCCOPY_1920x1080_1to1)->ComputeStatistics("min", bench::fastest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StretchBlt_HALFTONE_1280x720_to_1920x1080)->ComputeStatistics("min", bench::fastest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StretchBlt_HALFTONE_1280x720_to_1920x1080_flipped)->ComputeStatistics("min", bench::fastest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StretchBlt_HALFTONE_1920x1080_to_960x540)->ComputeStatistics("min", bench::fastest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StretchBlt_SRCAND_SRCPAINT_1920x1080)->ComputeStatistics("min", bench::fastest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StretchBlt_HALFTONE_SRCAND_SRCPAINT_1280x720_to_1920x1080)->ComputeStatistics("min", bench::fastest)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
