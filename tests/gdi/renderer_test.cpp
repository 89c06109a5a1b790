// The renderer's own operations called directly on an in-process Tavorin: the format table it
// registers, the adapter negotiation pause, the channel surface that each frame rebuilds, the
// choice between one copy and the mask pair, and frame ownership.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "engine/video_sample.h"
#include "gdi/exact_sample.h"
#include "gdi/renderer_rig.h"
#include "platform/win32.h"

namespace {

using namespace gdi_testing;
using KMC::FormatTable;

TEST(FormatTable, KeepsByteOrderAndOverwritesBothFields) {
  host::RecordingPluginHost pluginHost;
  OpenTavorin tavorin(&pluginHost);
  EXPECT_TRUE(tavorin.formatTable().empty());
  tavorin.registerFormat(10, 1, "BGRX");
  tavorin.registerFormat(20, 2, "BGRA");
  tavorin.registerFormat(30, 3, "\xC3YUV");  // bytes above 0x7F sort after ASCII
  tavorin.registerFormat(150, 7, "BGRA");
  const FormatTable& table = tavorin.formatTable();
  ASSERT_EQ(table.size(), 3u);
  FormatTable::const_iterator entry = table.begin();
  EXPECT_EQ(entry->first, "BGRA");
  EXPECT_EQ(entry->second.cost, 150);
  EXPECT_EQ(entry->second.typeId, 7);
  EXPECT_EQ((++entry)->first, "BGRX");
  EXPECT_EQ((++entry)->first, "\xC3YUV");
}

// Sleeps of the output thread, which is every thread but the test's and create's.
std::mutex sleepLock;
std::set<std::thread::id> quietThreads;
std::atomic<int> outputThreadPauses5{0};
std::atomic<int> outputThreadPausesOther{0};
void recordSleep(DWORD milliseconds) {
  {
    std::lock_guard<std::mutex> hold(sleepLock);
    if (quietThreads.count(std::this_thread::get_id()) == 0) {
      (milliseconds == 5 ? outputThreadPauses5 : outputThreadPausesOther).fetch_add(1);
    }
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

TEST(AdapterChoice, EveryRefusedChoicePausesFiveMillisecondsAndAsksAgain) {
  for (int32_t choice : {-1, 1, 7}) {
    host::RecordingPluginHost pluginHost;
    host::ManualMediaClock clock(1000);
    host::EngineContext context(&clock);
    context.setAdapterChoice(choice);
    OpenTavorin tavorin(&pluginHost);
    outputThreadPauses5 = 0;
    outputThreadPausesOther = 0;
    quietThreads = {std::this_thread::get_id()};
    platform_testing::setSleepHook(recordSleep);
    std::thread creator([&] {
      {
        std::lock_guard<std::mutex> hold(sleepLock);
        quietThreads.insert(std::this_thread::get_id());
      }
      tavorin.create(&context);
    });
    testsupport::eventually([&] { return context.adapterChoices() >= 4; });
    EXPECT_GE(context.adapterChoices(), 4) << choice;
    EXPECT_EQ(context.videoAdapter(), nullptr) << choice;
    // One pause per refused answer, each of 5 ms, and no other pause on that thread.
    EXPECT_GE(outputThreadPauses5.load(), 3) << choice;
    EXPECT_EQ(outputThreadPausesOther.load(), 0) << choice;

    // An acceptable answer ends it: the adapter arrives, create returns with a window.
    context.setAdapterChoice(host::EngineContext::kChooseByKind);
    testsupport::eventually([&] { return context.videoAdapter() != nullptr; });
    ASSERT_NE(context.videoAdapter(), nullptr);
    host::HostWindow window(8, 8);
    static_cast<KMC::VideoAdapterHWND*>(context.videoAdapter())->setWindow(window.handle());
    creator.join();
    platform_testing::setSleepHook(nullptr);
    EXPECT_TRUE(tavorin.isInitialized());
    tavorin.destroy();
  }
}

// The window DC goes back to the window it was taken from, also when the engine has taken that
// window away before the renderer lets the DC go.
TEST(WindowDC, IsReleasedToItsWindowAfterTheEngineTookTheWindowAway) {
  RendererRig rig(32, 24);
  ASSERT_TRUE(rig.createAndStop());  // the renderer holds one DC of the window again
  HWND window = reinterpret_cast<HWND>(rig.window.handle());
  EXPECT_EQ(platform_testing::windowDCCount(window), 1);
  static_cast<KMC::VideoAdapterHWND*>(rig.context.videoAdapter())->setWindow(0);
  rig.tavorin->shutdownRenderer();
  EXPECT_EQ(platform_testing::windowDCCount(window), 0);
}

class Surfaces : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(rig.createAndStop()); }
  RendererRig rig{64, 48};
  host::SampleLedger ledger;
};

TEST_F(Surfaces, PictureRectangleSizesTheSurface) {
  RendererRig::Channel* channel = rig.addChannel("BGRX");
  KMC::ChannelSurface* surface = RendererRig::surfaceOf(channel);
  ASSERT_NE(surface, nullptr);
  host::OwnedVideoSample* frame = ledger.make(1000, 40, 720, 592);
  frame->picture = host::rectInt(0, 0, 720, 576);
  EXPECT_EQ(rig.present(channel, frame), nullptr);
  EXPECT_EQ(surface->surfaceWidth, 720);
  EXPECT_EQ(surface->surfaceHeight, 576);
  EXPECT_EQ(surface->bitmapInfo.bmiHeader.biWidth, 720);
  EXPECT_EQ(surface->bitmapInfo.bmiHeader.biHeight, 576);  // positive: bottom row first
  EXPECT_EQ(surface->bitmapInfo.bmiHeader.biBitCount, 32);
  EXPECT_TRUE(surface->image.exists());
  EXPECT_FALSE(surface->mask.exists()) << "a BGRX channel is never masked: no mask bitmap";

  // An empty picture rectangle: the frame's own size.
  host::OwnedVideoSample* whole = ledger.make(1000, 40, 32, 16);
  EXPECT_EQ(rig.present(channel, whole), frame);
  frame->release();
  EXPECT_EQ(surface->surfaceWidth, 32);
  EXPECT_EQ(surface->surfaceHeight, 16);
  rig.tavorin->detachChannel(channel);
  EXPECT_EQ(channel->currentFrame, nullptr);
  EXPECT_EQ(channel->rendererData, nullptr);
  EXPECT_TRUE(ledger.allReleasedExactlyOnce());
}

TEST_F(Surfaces, MaskOnlyForBgraFramesWithATransparentPixel) {
  RendererRig::Channel* alpha = rig.addChannel("BGRA");
  RendererRig::Channel* plain = rig.addChannel("BGRX");
  host::OwnedVideoSample* opaque = ledger.make(1000, 40, 8, 8);
  opaque->fill(0x01FF0000);  // the smallest non-zero top byte is opaque
  rig.present(alpha, opaque);
  EXPECT_FALSE(RendererRig::surfaceOf(alpha)->hasTransparency);  // one SRCCOPY, no mask upload

  host::OwnedVideoSample* holed = ledger.make(1000, 40, 8, 8);
  holed->fill(0xFF00FF00);
  holed->setPixel(7, 7, 0x00FFFFFF);
  EXPECT_EQ(rig.present(alpha, holed), opaque);
  opaque->release();
  KMC::ChannelSurface* surface = RendererRig::surfaceOf(alpha);
  EXPECT_TRUE(surface->hasTransparency);
  // Buffer rows are bottom-up: the frame's last row is buffer row 0.
  EXPECT_EQ(surface->mask.pixels()[7], 0xFFFFFFFFu);
  EXPECT_EQ(surface->mask.pixels()[6], 0u);
  EXPECT_EQ(surface->image.pixels()[7], 0u);  // a hole keeps no colour
  EXPECT_EQ(surface->image.pixels()[6], 0xFF00FF00u);

  host::OwnedVideoSample* clear = ledger.make(1000, 40, 8, 8);
  clear->fill(0x00123456);  // "BGRX": the top byte means nothing
  rig.present(plain, clear);
  EXPECT_FALSE(RendererRig::surfaceOf(plain)->hasTransparency);

  // A port reset takes the frame and the bitmaps, and with them the memory they wrote into.
  EXPECT_EQ(rig.tavorin->takeCurrentFrame(alpha), holed);
  holed->release();
  EXPECT_EQ(alpha->currentFrame, nullptr);
  EXPECT_FALSE(surface->image.exists());
  EXPECT_FALSE(surface->mask.exists());
  EXPECT_EQ(surface->image.pixels(), nullptr);
  EXPECT_EQ(rig.tavorin->takeCurrentFrame(alpha), nullptr);
  rig.tavorin->detachChannel(alpha);
  rig.tavorin->detachChannel(plain);
  EXPECT_TRUE(ledger.allReleasedExactlyOnce());
}

TEST_F(Surfaces, AFrameThatCannotBeReadOrHeldInABitmapBecomesCurrentWithoutASurface) {
  RendererRig::Channel* channel = rig.addChannel("BGRA");
  host::OwnedVideoSample* good = ledger.make(1000, 40, 8, 8);
  rig.present(channel, good);
  ExactSample lying(8 * 8, 0xFF0000FF);
  lying.setSize(8, 8, 8);
  lying.picture = host::rectInt(0, 0, 8, 9);
  EXPECT_EQ(rig.present(channel, &lying), good);
  good->release();
  KMC::ChannelSurface* surface = RendererRig::surfaceOf(channel);
  EXPECT_EQ(channel->currentFrame, &lying);
  EXPECT_EQ(surface->image.pixels(), nullptr);
  EXPECT_FALSE(surface->image.exists());
  // Drawing skips the channel.
  rig.tavorin->beginFrame();
  EXPECT_TRUE(rig.tavorin->drawChannel(channel));
  platform_testing::setSleepHook([](DWORD) {});
  rig.tavorin->endFrame();
  platform_testing::setSleepHook(nullptr);
  EXPECT_EQ(rig.window.pixel(0, 0), 0u);

  // A frame too wide for a bitmap (the GDI refuses sides over 32767): skipped the same way,
  // and no DC is kept without its bitmap.
  host::OwnedVideoSample* wide = ledger.make(1000, 40, 40000, 1);
  EXPECT_EQ(rig.present(channel, wide), &lying);
  lying.release();
  EXPECT_EQ(surface->image.pixels(), nullptr);
  EXPECT_EQ(surface->mask.dc(), nullptr);
  EXPECT_EQ(surface->image.dc(), nullptr);
  rig.tavorin->detachChannel(channel);
  EXPECT_EQ(lying.releases(), 1);
  EXPECT_TRUE(ledger.allReleasedExactlyOnce());
}

}  // namespace
