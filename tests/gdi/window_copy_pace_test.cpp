// The pace of the window copies of a running output, on a millisecond counter that only the
// output thread moves: its sleeps and its drawing (5 ms per redraw) advance the counter and the
// media clock together, so a whole stream plays without waiting and the times seen are exact.
// No two copies start less than 15 ms apart, and a 60 fps stream loses no frame for want of a
// redraw.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/engine_context.h"
#include "engine/engine_stream.h"
#include "engine/engine_values.h"
#include "engine/host_window.h"
#include "engine/media_clock.h"
#include "engine/plugin_host.h"
#include "engine/video_sample.h"
#include "abi/engine_codes.h"
#include "abi/video_adapter.h"
#include "gdi/renderer_rig.h"
#include "gdi/tavorin.h"
#include "support/eventually.h"
#include "support/millisecond_counter_guard.h"
#include "support/temp_data_folder.h"

namespace {

using KMC::PropertyValue;

const DWORD kDrawingMs = 5;

std::atomic<DWORD> g_now{50000};
DWORD virtualCounter() { return g_now.load(); }
// Set while the stream plays: from then on the output thread's time is the virtual counter's.
std::atomic<bool> g_playing{false};
std::atomic<std::thread::id> g_outputThread{};
host::ManualMediaClock* g_mediaClock = nullptr;

void passTime(DWORD milliseconds) {
  g_now.fetch_add(milliseconds);
  g_mediaClock->advance(static_cast<int32_t>(milliseconds));
}

// The output thread's sleeps pass virtual time while the stream plays; every other sleep (and
// the output thread's before and after) is a real one, so engine calls get their locks.
void virtualSleep(DWORD milliseconds) {
  if (g_playing.load() && std::this_thread::get_id() == g_outputThread.load()) {
    passTime(milliseconds);
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// The real renderer, with drawing that takes kDrawingMs of the counter; it notes the counter
// after each window copy (nothing after the copy passes time, so that is when it began).
class SlowDrawingTavorin final : public KMC::Tavorin {
 public:
  explicit SlowDrawingTavorin(KMC::PluginHost* host) : KMC::Tavorin(host) {}
  bool runOutputRound() override {
    g_outputThread.store(std::this_thread::get_id());
    return KMC::Tavorin::runOutputRound();
  }
  bool drawChannel(Channel* channel) override {
    if (g_playing.load()) passTime(kDrawingMs);
    return KMC::Tavorin::drawChannel(channel);
  }
  bool endFrame() override {
    const bool done = KMC::Tavorin::endFrame();
    if (g_playing.load()) {
      std::lock_guard<std::mutex> hold(lock_);
      copyStarts_.push_back(g_now.load());
    }
    return done;
  }
  std::vector<DWORD> copyStarts() {
    std::lock_guard<std::mutex> hold(lock_);
    return copyStarts_;
  }

 private:
  std::mutex lock_;
  std::vector<DWORD> copyStarts_;
};

struct Played {
  size_t presented = 0;
  size_t dropped = 0;
  std::vector<DWORD> copyStarts;
};

// Plays frameCount frames at fps (rounded to whole milliseconds) on one channel.
Played play(int fps, int frameCount) {
  testsupport::TempDataFolder dataFolder("tavorin-pace-data");
  testsupport::MillisecondCounterGuard counter(&virtualCounter);
  platform_testing::setSleepHook(virtualSleep);
  host::RecordingPluginHost pluginHost;
  host::ManualMediaClock clock(1000, false);
  g_mediaClock = &clock;
  host::EngineContext context(&clock);
  host::HostWindow window(64, 48);
  host::SampleLedger ledger;
  KMC::PluginDescriptor descriptor;
  descriptor.name = KMC::NarrowString("Test Machine", &KMC::StandardAllocator<char>::instance());
  SlowDrawingTavorin* tavorin = new SlowDrawingTavorin(&pluginHost);
  tavorin->setDescriptor(&descriptor);

  EXPECT_TRUE(gdi_testing::createWithWindow(tavorin, context, window));

  KMC::StreamDescriptor stream = host::makeStreamDescriptor("BGRX");
  host::EngineStream peer(1);
  KMC::PortInterface* port = tavorin->createPort(KMC::kChannelPush, &stream, &peer);
  PropertyValue none = PropertyValue::ofPointer(KMC::kPropertyObject, nullptr);
  port->portCommand(KMC::kCommandConnect, &none);
  port->portCommand(KMC::kCommandRun, &none);
  host::OwnedIdList ids({1});
  PropertyValue selection = PropertyValue::ofPointer(KMC::kPropertyObject, ids.get());
  tavorin->setParameter(KMC::kParameterSelectChannels, &selection);
  for (int i = 0; i < frameCount; ++i) {
    const int32_t start = 1000 + i * 1000 / fps;
    const int32_t next = 1000 + (i + 1) * 1000 / fps;
    host::OwnedVideoSample* frame = ledger.make(start, static_cast<uint32_t>(next - start), 32, 24);
    frame->fill(0xFF000000u | static_cast<uint32_t>(i));
    PropertyValue value = PropertyValue::ofPointer(KMC::kPropertyObject, frame);
    port->setPortValue(KMC::kValueDeliverFrame, &value);
  }

  g_playing.store(true);
  clock.setRunning(true);
  Played played;
  auto countEvents = [&] {
    played.presented = context.channelEvents(KMC::kEventPresented, 1).size();
    played.dropped = context.channelEvents(KMC::kEventDroppedLate, 1).size();
    return played.presented + played.dropped == static_cast<size_t>(frameCount);
  };
  EXPECT_TRUE(testsupport::eventually(countEvents));
  g_playing.store(false);

  port->portCommand(KMC::kCommandDisconnect, &none);
  tavorin->removePort(port);
  tavorin->destroy();
  played.copyStarts = tavorin->copyStarts();
  delete tavorin;
  platform_testing::setSleepHook(nullptr);
  g_mediaClock = nullptr;
  EXPECT_TRUE(ledger.allReleasedExactlyOnce());
  return played;
}

void expectCopiesApart(const std::vector<DWORD>& starts, DWORD interval) {
  for (size_t i = 1; i < starts.size(); ++i) {
    EXPECT_GE(starts[i] - starts[i - 1], interval) << "copies " << i - 1 << " and " << i;
  }
}

TEST(WindowCopyPace, A60FpsStreamIsShownWholeAndCopiesStayFifteenMillisecondsApart) {
  const Played played = play(60, 60);
  EXPECT_EQ(played.dropped, 0u);
  EXPECT_EQ(played.presented, 60u);
  EXPECT_GE(played.copyStarts.size(), 59u);
  expectCopiesApart(played.copyStarts, 15);

  // Frames faster than the pace: the copies still keep their distance (and frames drop).
  const Played fast = play(100, 60);
  EXPECT_GT(fast.dropped, 0u);
  EXPECT_GE(fast.copyStarts.size(), 30u);
  expectCopiesApart(fast.copyStarts, 15);
}

}  // namespace
