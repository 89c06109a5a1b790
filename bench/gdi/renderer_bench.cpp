// The GDI renderer's per-frame work at 1080p, each against memcpy of one 1920 x 1080 frame
// (8,294,400 bytes) measured in the same run. Counter "x_memcpy": the operation's time per
// call over memcpy's time for those bytes (1.0 = as fast as one memcpy of the frame; below 2.0
// = at least half of memcpy's throughput).
//
// The renderer is a Tavorin built in-process against the engine stand-in, created with a
// window and stopped again, so that its operations run on the benchmark's thread with channels
// of the benchmark's own. The wait between window copies (15 ms from one copy's start to the
// next) is skipped through the platform's sleep hook.
#include <benchmark/benchmark.h>

#include "memcpy_reference.h"
#include "repetition_statistics.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "engine/engine_context.h"
#include "engine/engine_stream.h"
#include "engine/engine_values.h"
#include "engine/host_window.h"
#include "engine/media_clock.h"
#include "engine/plugin_host.h"
#include "engine/video_sample.h"
#include "abi/video_adapter.h"
#include "gdi/tavorin.h"
#include "platform/win32.h"

namespace {

using Clock = std::chrono::steady_clock;
typedef KMC::Tavorin::Channel Channel;

const int32_t kWidth = 1920;
const int32_t kHeight = 1080;
const size_t kFrameBytes = size_t(kWidth) * kHeight * 4;

// A 1080p renderer with a window, ready for direct calls.
class Renderer {
 public:
  Renderer() : clock_(1000), context_(&clock_), window_(kWidth, kHeight), tavorin_(new KMC::Tavorin(&host_)) {
    descriptor_.name = KMC::NarrowString("Bench", &KMC::StandardAllocator<char>::instance());
    tavorin_->setDescriptor(&descriptor_);
    std::thread creator([this] { tavorin_->create(&context_); });
    while (!context_.videoAdapter()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    KMC::VideoAdapterHWND* adapter = static_cast<KMC::VideoAdapterHWND*>(context_.videoAdapter());
    adapter->setDrawRect(host::rectInt(0, 0, kWidth - 1, kHeight - 1));
    adapter->setWindow(window_.handle());
    creator.join();
    tavorin_->destroy();
    tavorin_->initializeRenderer();
    platform_testing::setSleepHook([](DWORD) {});
  }
  ~Renderer() {
    platform_testing::setSleepHook(nullptr);
    for (auto& channel : channels_) tavorin_->detachChannel(channel.get());
    channels_.clear();
    tavorin_->deletingDestructor(KMC::kFreeStorage);  // entry 0, as the last release would
  }

  Channel* addChannel(const char* fourCC, KMC::RectFloat place = KMC::RectFloat(0, 0, 1, 1)) {
    descriptors_.emplace_back(new KMC::StreamDescriptor(host::makeStreamDescriptor(fourCC)));
    channels_.emplace_back(new Channel(tavorin_, false, descriptors_.back().get()));
    Channel* channel = channels_.back().get();
    tavorin_->attachChannel(channel);
    channel->outputRect = place;
    return channel;
  }
  // A frame of the given size: a pattern, opaque unless holes; with holes every 16th pixel
  // is transparent.
  host::OwnedVideoSample* frame(int32_t width, int32_t height, bool holes) {
    host::OwnedVideoSample* sample = ledger_.make(1000, 40, width, height);
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x) {
        uint32_t colour = uint32_t(x * 2654435761u + y) & 0x00FFFFFF;
        sample->setPixel(x, y, (holes && (x + y) % 16 == 0) ? colour : 0xFF000000u | colour);
      }
    }
    return sample;
  }
  // The channel shows sample (accepted, sizes taken over, converted) as the loop would do it.
  void show(Channel* channel, KMC::VideoSample* sample) {
    tavorin_->acceptFrame(channel, sample);
    channel->width = sample->width;
    channel->height = sample->height;
    tavorin_->convertFrame(channel, sample);
  }
  KMC::Tavorin* tavorin() { return tavorin_; }

 private:
  host::RecordingPluginHost host_;
  host::ManualMediaClock clock_;
  host::EngineContext context_;
  host::HostWindow window_;
  host::SampleLedger ledger_;
  KMC::PluginDescriptor descriptor_;
  KMC::Tavorin* tavorin_;
  std::vector<std::unique_ptr<KMC::StreamDescriptor>> descriptors_;
  std::vector<std::unique_ptr<Channel>> channels_;
};

void report(benchmark::State& state, double reference) {
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
  state.counters["x_memcpy"] = benchmark::Counter(double(state.iterations()) * reference,
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Memcpy1080p(benchmark::State& state) {
  std::vector<char> from(kFrameBytes, 1), to(kFrameBytes, 0);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), kFrameBytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
}

// A new 1080p frame as the loop takes it in: acceptFrame (the channel keeps its bitmaps while
// the size stays) and convertFrame (the one pass that writes the pixels into the picture
// bitmap's memory, and the mask's too when a pixel is transparent). Each iteration takes the
// next of two frames, so no frame is converted twice in a row: an opaque "BGRX" frame, or a
// "BGRA" one with transparent pixels.
void BM_AcceptAndConvertFrame1080p(benchmark::State& state) {
  const bool holes = state.range(0) != 0;
  Renderer renderer;
  Channel* channel = renderer.addChannel(holes ? "BGRA" : "BGRX");
  host::OwnedVideoSample* samples[2] = {renderer.frame(kWidth, kHeight, holes), renderer.frame(kWidth, kHeight, holes)};
  const double reference = bench::memcpySeconds(kFrameBytes);
  int next = 0;
  for (auto _ : state) {
    host::OwnedVideoSample* sample = samples[next];
    next = 1 - next;
    renderer.tavorin()->acceptFrame(channel, sample);
    benchmark::DoNotOptimize(renderer.tavorin()->convertFrame(channel, sample));
  }
  report(state, reference);
  state.SetLabel(holes ? "BGRA with transparent pixels" : "opaque BGRX");
}
BENCHMARK(BM_AcceptAndConvertFrame1080p)->Arg(0)->Arg(1)->ComputeStatistics("min", bench::fastest)->Unit(benchmark::kMillisecond);

// convertFrame alone: the pixel pass into the picture bitmap (and the mask with holes).
void BM_ConvertFrame1080pBGRA(benchmark::State& state) {
  const bool holes = state.range(0) != 0;
  Renderer renderer;
  Channel* channel = renderer.addChannel("BGRA");
  host::OwnedVideoSample* sample = renderer.frame(kWidth, kHeight, holes);
  renderer.tavorin()->acceptFrame(channel, sample);
  const double reference = bench::memcpySeconds(kFrameBytes);
  for (auto _ : state) {
    benchmark::DoNotOptimize(renderer.tavorin()->convertFrame(channel, sample));
  }
  report(state, reference);
  state.SetLabel(holes ? "with transparent pixels" : "opaque");
}
BENCHMARK(BM_ConvertFrame1080pBGRA)->Arg(0)->Arg(1)->ComputeStatistics("min", bench::fastest)->Unit(benchmark::kMillisecond);

// drawChannel into a 1080p back buffer: from a 1080p picture (1:1) or a 720p one (stretched).
void BM_DrawChannel(benchmark::State& state) {
  const int32_t width = int32_t(state.range(0));
  const int32_t height = int32_t(state.range(1));
  Renderer renderer;
  Channel* channel = renderer.addChannel("BGRX");
  renderer.show(channel, renderer.frame(width, height, false));
  const double reference = bench::memcpySeconds(kFrameBytes);
  renderer.tavorin()->beginFrame();
  for (auto _ : state) benchmark::DoNotOptimize(renderer.tavorin()->drawChannel(channel));
  renderer.tavorin()->endFrame();
  report(state, reference);
  state.SetLabel(width == kWidth ? "1920x1080 1:1" : "1280x720 stretched to 1920x1080");
}
BENCHMARK(BM_DrawChannel)->Args({1920, 1080})->Args({1280, 720})->ComputeStatistics("min", bench::fastest)->Unit(benchmark::kMillisecond);

// One whole redraw of an opaque picture of the given size drawn to the 1080p window (stretched
// with HALFTONE when it is smaller) under a 1080p "BGRA" overlay with transparent pixels at 1:1
// (mask pair): black back buffer, both channels, and the copy into the window.
void redrawPictureAndOverlay(benchmark::State& state, int pictureWidth, int pictureHeight) {
  Renderer renderer;
  Channel* picture = renderer.addChannel("BGRX");
  Channel* overlay = renderer.addChannel("BGRA");
  renderer.show(picture, renderer.frame(pictureWidth, pictureHeight, false));
  renderer.show(overlay, renderer.frame(kWidth, kHeight, true));
  const double reference = bench::memcpySeconds(kFrameBytes);
  KMC::Tavorin* tavorin = renderer.tavorin();
  for (auto _ : state) {
    tavorin->beginFrame();
    tavorin->drawChannel(picture);
    tavorin->drawChannel(overlay);
    tavorin->endFrame();
  }
  report(state, reference);
}

void BM_Redraw1080pTwoChannels(benchmark::State& state) { redrawPictureAndOverlay(state, kWidth, kHeight); }
BENCHMARK(BM_Redraw1080pTwoChannels)->ComputeStatistics("min", bench::fastest)->Unit(benchmark::kMillisecond);

// As a player composes a picture and an overlay: a 720p picture stretched to the window.
void BM_Redraw1080pStretchedPictureAndOverlay(benchmark::State& state) { redrawPictureAndOverlay(state, 1280, 720); }
BENCHMARK(BM_Redraw1080pStretchedPictureAndOverlay)->ComputeStatistics("min", bench::fastest)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_Memcpy1080p)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
