// Converting a decoded 1080p yuv420p picture (BT.601, limited range) into the plug-in's
// "BGRX", with libswscale as the player first did and with libyuv as it does now, each against
// memcpy of the 1080p frame's bytes in the same run. Counter "max_difference": the largest
// difference of a colour byte between the two results (rounding, not a colour shift).
#include <benchmark/benchmark.h>

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include "memcpy_reference.h"
#include "repetition_statistics.h"
#include "yuv_conversion.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

const int kWidth = 1920, kHeight = 1080;

struct Picture {
  Picture() : frame(av_frame_alloc()) {
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = kWidth;
    frame->height = kHeight;
    frame->colorspace = AVCOL_SPC_BT470BG;
    frame->color_range = AVCOL_RANGE_MPEG;
    av_frame_get_buffer(frame, 0);
    for (int plane = 0; plane < 3; ++plane) {
      const int w = plane ? kWidth / 2 : kWidth, h = plane ? kHeight / 2 : kHeight;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) frame->data[plane][y * frame->linesize[plane] + x] = uint8_t(16 + (x * 7 + y * 3 + plane * 50) % 220);
    }
  }
  ~Picture() { av_frame_free(&frame); }
  AVFrame* frame;
};

std::vector<uint32_t> withSwscale(const AVFrame* picture, SwsContext** context) {
  std::vector<uint32_t> out(size_t(kWidth) * kHeight);
  *context = sws_getCachedContext(*context, kWidth, kHeight, AV_PIX_FMT_YUV420P, kWidth, kHeight, AV_PIX_FMT_BGR0,
                                  SWS_BILINEAR, nullptr, nullptr, nullptr);
  const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
  sws_setColorspaceDetails(*context, coefficients, 0, coefficients, 1, 0, 1 << 16, 1 << 16);
  uint8_t* target[4] = {reinterpret_cast<uint8_t*>(out.data()), nullptr, nullptr, nullptr};
  int stride[4] = {kWidth * 4, 0, 0, 0};
  sws_scale(*context, picture->data, picture->linesize, 0, kHeight, target, stride);
  return out;
}

void report(benchmark::State& state, double reference) {
  state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 4);
  state.counters["x_memcpy"] = benchmark::Counter(double(state.iterations()) * reference,
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Yuv420ToBgrx1080p_libswscale(benchmark::State& state) {
  Picture picture;
  SwsContext* context = nullptr;
  const double reference = bench::memcpySeconds(size_t(kWidth) * kHeight * 4);
  std::vector<uint32_t> out(size_t(kWidth) * kHeight);
  withSwscale(picture.frame, &context);
  uint8_t* target[4] = {reinterpret_cast<uint8_t*>(out.data()), nullptr, nullptr, nullptr};
  int stride[4] = {kWidth * 4, 0, 0, 0};
  for (auto _ : state) {
    sws_scale(context, picture.frame->data, picture.frame->linesize, 0, kHeight, target, stride);
    benchmark::ClobberMemory();
  }
  sws_freeContext(context);
  report(state, reference);
}

void BM_Yuv420ToBgrx1080p_libyuv(benchmark::State& state) {
  Picture picture;
  const double reference = bench::memcpySeconds(size_t(kWidth) * kHeight * 4);
  std::vector<uint32_t> out(size_t(kWidth) * kHeight);
  for (auto _ : state) {
    play::convertYuv420ToBgrx(picture.frame, reinterpret_cast<uint8_t*>(out.data()), kWidth * 4);
    benchmark::ClobberMemory();
  }
  SwsContext* context = nullptr;
  std::vector<uint32_t> theirs = withSwscale(picture.frame, &context);
  sws_freeContext(context);
  int worst = 0;
  for (size_t i = 0; i < out.size(); ++i)
    for (int b = 0; b < 24; b += 8) worst = std::max(worst, std::abs(int((out[i] >> b) & 0xFF) - int((theirs[i] >> b) & 0xFF)));
  state.counters["max_difference"] = worst;
  report(state, reference);
}

}  // namespace

BENCHMARK(BM_Yuv420ToBgrx1080p_libswscale)->ComputeStatistics("min", bench::fastest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Yuv420ToBgrx1080p_libyuv)->ComputeStatistics("min", bench::fastest)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
