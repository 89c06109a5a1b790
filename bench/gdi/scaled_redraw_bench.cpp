// A scaled channel's drawing against GDI's own HALFTONE StretchBlt of the same sizes, measured
// in the same run: the reference is what the renderer would cost if GDI stretched the picture
// into the back buffer on every redraw. Built for Linux (the software GDI) and for Windows (run
// under Wine, or on Windows itself), where HALFTONE stretching is slow.
//
// At the end, the HALFTONE StretchBlt's CPU time over each one's, same sizes, same run (thread
// CPU time: the drawing into memory bitmaps runs on the calling thread, also under Wine, so a
// loaded machine changes the ratio little).
//   BM_ScaledRedraw    a redraw without a new frame: the resampled picture is copied 1:1
//   BM_ScaledNewFrame  a new frame and its first redraw: upload, resampling and the copy
//   BM_HalftoneStretchBlt  the reference itself, StretchBlt HALFTONE from a bitmap of the
//                      frame's size into a back buffer of the window's
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/video_sample.h"
#include "gdi/renderer_rig.h"
#include "platform/win32.h"
#include "ratio_reporter.h"
#include "repetition_statistics.h"

namespace {

using gdi_testing::RendererRig;

struct Sizes {
  int32_t frameWidth, frameHeight, windowWidth, windowHeight;
};

Sizes sizesOf(const benchmark::State& state) {
  return Sizes{int32_t(state.range(0)), int32_t(state.range(1)), int32_t(state.range(2)), int32_t(state.range(3))};
}

uint32_t patternPixel(int32_t x, int32_t y) { return 0xFF000000u | ((uint32_t(x) * 2654435761u + uint32_t(y) * 40503u) >> 8); }

// A memory DC holding a bitmap compatible with the screen, as the renderer makes them.
struct MemoryBitmap {
  MemoryBitmap(HDC screen, int32_t width, int32_t height) {
    dc = CreateCompatibleDC(screen);
    bitmap = CreateCompatibleBitmap(screen, width, height);
    previous = SelectObject(dc, bitmap);
  }
  ~MemoryBitmap() {
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ previous;
};

// GDI stretching the frame into the back buffer the way the renderer once did on every redraw:
// a source bitmap filled by SetDIBits, a back buffer one pixel larger than the window, HALFTONE.
class HalftoneReference {
 public:
  explicit HalftoneReference(const Sizes& sizes)
      : sizes_(sizes),
        screen_(GetDC(nullptr)),
        source_(screen_, sizes.frameWidth, sizes.frameHeight),
        back_(screen_, sizes.windowWidth + 1, sizes.windowHeight + 1) {
    std::vector<uint32_t> pixels(size_t(sizes.frameWidth) * sizes.frameHeight);
    for (int32_t y = 0; y < sizes.frameHeight; ++y) {
      for (int32_t x = 0; x < sizes.frameWidth; ++x) pixels[size_t(y) * sizes.frameWidth + x] = patternPixel(x, y);
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = sizes.frameWidth;
    info.bmiHeader.biHeight = -sizes.frameHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBits(nullptr, source_.bitmap, 0, UINT(sizes.frameHeight), pixels.data(), &info, DIB_RGB_COLORS);
    SetStretchBltMode(back_.dc, HALFTONE);
    SetBrushOrgEx(back_.dc, 0, 0, nullptr);
  }
  ~HalftoneReference() { ReleaseDC(nullptr, screen_); }

  void stretch() {
    StretchBlt(back_.dc, 0, 0, sizes_.windowWidth, sizes_.windowHeight, source_.dc, 0, 0, sizes_.frameWidth,
               sizes_.frameHeight, SRCCOPY);
  }
 private:
  Sizes sizes_;
  HDC screen_;
  MemoryBitmap source_;
  MemoryBitmap back_;
};

// A renderer with a window of the sizes' window size and one opaque channel covering it.
class ScaledChannelRig {
 public:
  explicit ScaledChannelRig(const Sizes& sizes) : sizes_(sizes), rig_(sizes.windowWidth, sizes.windowHeight) {
    ready_ = rig_.createAndStop();
    channel_ = rig_.addChannel("BGRX");
    channel_->outputRect = KMC::RectFloat(0, 0, 1, 1);
    frame_ = ledger_.make(1000, 40, sizes.frameWidth, sizes.frameHeight);
    for (int32_t y = 0; y < sizes.frameHeight; ++y) {
      for (int32_t x = 0; x < sizes.frameWidth; ++x) frame_->setPixel(x, y, patternPixel(x, y));
    }
  }
  ~ScaledChannelRig() { rig_.tavorin->detachChannel(channel_); }
  bool ready() const { return ready_; }
  // The frame becomes the channel's current one again (the previous one is the same frame, so
  // nothing is released until the channel is detached).
  void showFrame() { rig_.present(channel_, frame_); }
  KMC::Tavorin& renderer() { return *rig_.tavorin; }
  RendererRig::Channel* channel() { return channel_; }

 private:
  Sizes sizes_;
  RendererRig rig_;
  host::SampleLedger ledger_;
  RendererRig::Channel* channel_ = nullptr;
  host::OwnedVideoSample* frame_ = nullptr;
  bool ready_ = false;
};

void label(benchmark::State& state, const Sizes& sizes) {
  state.SetLabel(std::to_string(sizes.frameWidth) + "x" + std::to_string(sizes.frameHeight) + " -> " +
                 std::to_string(sizes.windowWidth) + "x" + std::to_string(sizes.windowHeight));
}

void BM_ScaledRedraw(benchmark::State& state) {
  const Sizes sizes = sizesOf(state);
  ScaledChannelRig rig(sizes);
  if (!rig.ready()) return state.SkipWithError("no renderer");
  rig.showFrame();
  rig.renderer().beginFrame();
  for (auto _ : state) rig.renderer().drawChannel(rig.channel());
  rig.renderer().endFrame();
  label(state, sizes);
}

void BM_ScaledNewFrame(benchmark::State& state) {
  const Sizes sizes = sizesOf(state);
  ScaledChannelRig rig(sizes);
  if (!rig.ready()) return state.SkipWithError("no renderer");
  rig.renderer().beginFrame();
  for (auto _ : state) {
    rig.showFrame();
    rig.renderer().drawChannel(rig.channel());
  }
  rig.renderer().endFrame();
  label(state, sizes);
}

void BM_HalftoneStretchBlt(benchmark::State& state) {
  const Sizes sizes = sizesOf(state);
  HalftoneReference reference(sizes);
  for (auto _ : state) reference.stretch();
  label(state, sizes);
}

// The renderer's everyday scaled sizes: 720p and 4K into a 1080p window, 360p into 720p, and
// 1080p shrunk to half.
void sizes(benchmark::internal::Benchmark* b) {
  b->Args({1280, 720, 1920, 1080})->Args({3840, 2160, 1920, 1080})->Args({640, 360, 1280, 720})->Args({1920, 1080, 960, 540});
  b->Unit(benchmark::kMillisecond)->ComputeStatistics("min", bench::fastest);
}
BENCHMARK(BM_HalftoneStretchBlt)->Apply(sizes);
BENCHMARK(BM_ScaledRedraw)->Apply(sizes);
BENCHMARK(BM_ScaledNewFrame)->Apply(sizes);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  bench::RatioReporter reporter(bench::RatioReporter::Time::Cpu);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  // Thread CPU time: the drawing into memory bitmaps runs on the calling thread, under Wine too.
  std::printf("\nCPU time of HALFTONE StretchBlt / CPU time of the renderer, same sizes, this run:\n");
  for (const auto& entry : reporter.times()) {
    const std::string& name = entry.first;
    if (name.rfind("BM_Halftone", 0) == 0) continue;
    const double ratio = reporter.ratio("BM_HalftoneStretchBlt" + name.substr(name.find('/')), name);
    if (ratio > 0) std::printf("  %-45s %8.1fx\n", name.c_str(), ratio);
  }
  benchmark::Shutdown();
  return 0;
}
