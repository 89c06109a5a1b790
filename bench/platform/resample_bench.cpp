// The libraries that can do the software GDI's HALFTONE resampling, side by side on the
// renderer's sizes, each against memcpy of the result's bytes in the same run: pixman's
// bilinear filter (as a transform on the source), libyuv's bilinear and box filters, and the
// GDI's own exact box halving. The GDI uses whichever is fastest for the result it documents.
// Counter "uniform_error": the largest change of a byte when a picture of one colour is
// resampled; GDI keeps such a picture's colour exactly. libyuv's ARGB bilinear filter (the
// Debian 12 build) blends columns with weights that sum to 127/128 and darkens every byte, so
// it is faster but not GDI's result, and HALFTONE stays on pixman.
#include <benchmark/benchmark.h>
#include <libyuv/scale_argb.h>
#include <pixman.h>

#include "memcpy_reference.h"
#include "resample/box_halving.h"
#include "repetition_statistics.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

struct Frames {
  Frames(int sw, int sh, int dw, int dh) : sw(sw), sh(sh), dw(dw), dh(dh), source(size_t(sw) * sh), dest(size_t(dw) * dh) {
    for (size_t i = 0; i < source.size(); ++i) source[i] = uint32_t(i * 2654435761u) | 0xFF000000u;
  }
  int sw, sh, dw, dh;
  std::vector<uint32_t> source, dest;
};

// Resamples a picture of one colour with `scale` and answers the largest byte error.
template <class Scale>
int uniformError(int sw, int sh, int dw, int dh, Scale scale) {
  const uint32_t colour = 0xFF3C55A5u;
  std::vector<uint32_t> from(size_t(sw) * sh, colour), to(size_t(dw) * dh);
  scale(from.data(), to.data());
  int worst = 0;
  for (uint32_t p : to) {
    for (int b = 0; b < 32; b += 8) worst = std::max(worst, std::abs(int((p >> b) & 0xFF) - int((colour >> b) & 0xFF)));
  }
  return worst;
}

void report(benchmark::State& state, const Frames& f, double reference) {
  const size_t bytes = size_t(f.dw) * f.dh * 4;
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
  state.counters["x_memcpy"] = benchmark::Counter(double(state.iterations()) * reference,
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void pixmanBilinear(benchmark::State& state, int sw, int sh, int dw, int dh) {
  Frames f(sw, sh, dw, dh);
  const double reference = bench::memcpySeconds(size_t(dw) * dh * 4);
  pixman_image_t* from = pixman_image_create_bits(PIXMAN_a8r8g8b8, sw, sh, f.source.data(), sw * 4);
  pixman_image_t* to = pixman_image_create_bits(PIXMAN_a8r8g8b8, dw, dh, f.dest.data(), dw * 4);
  pixman_transform_t transform;
  pixman_transform_init_scale(&transform, pixman_double_to_fixed(double(sw) / dw), pixman_double_to_fixed(double(sh) / dh));
  pixman_image_set_transform(from, &transform);
  pixman_image_set_filter(from, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  pixman_image_set_repeat(from, PIXMAN_REPEAT_PAD);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0, dw, dh);
    benchmark::ClobberMemory();
  }
  state.counters["uniform_error"] = uniformError(sw, sh, dw, dh, [&](uint32_t* in, uint32_t* out) {
    pixman_image_t* a = pixman_image_create_bits(PIXMAN_a8r8g8b8, sw, sh, in, sw * 4);
    pixman_image_t* b = pixman_image_create_bits(PIXMAN_a8r8g8b8, dw, dh, out, dw * 4);
    pixman_image_set_transform(a, &transform);
    pixman_image_set_filter(a, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(a, PIXMAN_REPEAT_PAD);
    pixman_image_composite32(PIXMAN_OP_SRC, a, nullptr, b, 0, 0, 0, 0, 0, 0, dw, dh);
    pixman_image_unref(a);
    pixman_image_unref(b);
  });
  pixman_image_unref(from);
  pixman_image_unref(to);
  report(state, f, reference);
}

void libyuvScale(benchmark::State& state, int sw, int sh, int dw, int dh, libyuv::FilterMode filter) {
  Frames f(sw, sh, dw, dh);
  const double reference = bench::memcpySeconds(size_t(dw) * dh * 4);
  for (auto _ : state) {
    libyuv::ARGBScale(reinterpret_cast<const uint8_t*>(f.source.data()), sw * 4, sw, sh,
                      reinterpret_cast<uint8_t*>(f.dest.data()), dw * 4, dw, dh, filter);
    benchmark::ClobberMemory();
  }
  state.counters["uniform_error"] = uniformError(sw, sh, dw, dh, [&](uint32_t* in, uint32_t* out) {
    libyuv::ARGBScale(reinterpret_cast<const uint8_t*>(in), sw * 4, sw, sh, reinterpret_cast<uint8_t*>(out), dw * 4,
                      dw, dh, filter);
  });
  report(state, f, reference);
}

void BM_Enlarge720pTo1080p_pixmanBilinear(benchmark::State& s) { pixmanBilinear(s, 1280, 720, 1920, 1080); }
void BM_Enlarge720pTo1080p_libyuvBilinear(benchmark::State& s) { libyuvScale(s, 1280, 720, 1920, 1080, libyuv::kFilterBilinear); }
void BM_Shrink1080pTo720p_pixmanBilinear(benchmark::State& s) { pixmanBilinear(s, 1920, 1080, 1280, 720); }
void BM_Shrink1080pTo720p_libyuvBilinear(benchmark::State& s) { libyuvScale(s, 1920, 1080, 1280, 720, libyuv::kFilterBilinear); }
void BM_Shrink1080pTo720p_libyuvBox(benchmark::State& s) { libyuvScale(s, 1920, 1080, 1280, 720, libyuv::kFilterBox); }
void BM_Halve1080p_libyuvBox(benchmark::State& s) { libyuvScale(s, 1920, 1080, 960, 540, libyuv::kFilterBox); }

void BM_Halve1080p_gdiHalving(benchmark::State& state) {
  Frames f(1920, 1080, 960, 540);
  const double reference = bench::memcpySeconds(size_t(960) * 540 * 4);
  for (auto _ : state) {
    resample::halvePicture(f.source.data(), 1920, 1920, 1080, true, true, f.dest.data());
    benchmark::ClobberMemory();
  }
  report(state, f, reference);
}

}  // namespace

#define RESAMPLE_BENCH(name) BENCHMARK(name)->ComputeStatistics("min", bench::fastest)->Unit(benchmark::kMillisecond)
RESAMPLE_BENCH(BM_Enlarge720pTo1080p_pixmanBilinear);
RESAMPLE_BENCH(BM_Enlarge720pTo1080p_libyuvBilinear);
RESAMPLE_BENCH(BM_Shrink1080pTo720p_pixmanBilinear);
RESAMPLE_BENCH(BM_Shrink1080pTo720p_libyuvBilinear);
RESAMPLE_BENCH(BM_Shrink1080pTo720p_libyuvBox);
RESAMPLE_BENCH(BM_Halve1080p_gdiHalving);
RESAMPLE_BENCH(BM_Halve1080p_libyuvBox);
BENCHMARK_MAIN();
