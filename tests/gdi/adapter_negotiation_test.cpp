// The adapter exchange between the engine and the loaded plug-in: which answers of the engine
// give an adapter, when create returns, and how changes of window and drawing rectangle reach
// the picture.
#include "gdi/plugin_rig.h"

namespace {

using namespace gdi_testing;

TEST(AdapterNegotiation, NoUsableChoiceGivesNoAdapterAndIsAskedAgain) {
  PluginRig rig;
  rig.context.setAdapterChoice(-1);
  ASSERT_TRUE(rig.load());
  ASSERT_TRUE(eventually([&] { return rig.context.adapterChoices() >= 3; }));
  EXPECT_EQ(rig.adapter(), nullptr);

  // One past the end of the renderer's list of kinds (it offers one kind).
  rig.context.setAdapterChoice(1);
  int32_t asked = rig.context.adapterChoices();
  ASSERT_TRUE(eventually([&] { return rig.context.adapterChoices() >= asked + 3; }));
  EXPECT_EQ(rig.adapter(), nullptr);
  EXPECT_FALSE(rig.createReturned());

  rig.context.setAdapterChoice(host::EngineContext::kChooseByKind);
  ASSERT_TRUE(rig.waitForAdapter());
  // Once it has an adapter the renderer stops asking.
  asked = rig.context.adapterChoices();
  rig.adapter()->setDrawRect(host::rectInt(0, 0, 639, 479));
  rig.adapter()->setWindow(rig.window.handle());
  EXPECT_TRUE(rig.finishCreate());
  EXPECT_EQ(rig.context.adapterChoices(), asked);
}

TEST(AdapterNegotiation, AWindowGivenLaterStartsTheDrawing) {
  PluginRig rig;
  ASSERT_TRUE(rig.load());
  ASSERT_TRUE(rig.waitForAdapter());
  rig.adapter()->setDrawRect(host::rectInt(0, 0, 639, 479));
  // Without a window create keeps waiting however long it takes.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(rig.createReturned());
  EXPECT_EQ(rig.window.generation(), 0u);

  rig.adapter()->setWindow(rig.window.handle());
  ASSERT_TRUE(rig.finishCreate());
  PortInterface* port = rig.addOnlyChannel("BGRX");
  ASSERT_NE(port, nullptr);
  rig.push(port, rig.frame(640, 480, kOpaque | kRed));
  rig.expectPicture([](int32_t, int32_t) { return kRed; });
  rig.shutdown();
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
}

TEST(AdapterNegotiation, ANewDrawingRectangleIsReportedAndDrawnAtItsSize) {
  PluginRig rig;
  ASSERT_TRUE(rig.start());
  ASSERT_TRUE(eventually([&] { return !rig.context.windowSizes().empty(); }));
  EXPECT_EQ(rig.context.windowSizes().front().width, 640);
  EXPECT_EQ(rig.context.windowSizes().front().height, 480);

  PortInterface* port = rig.addOnlyChannel("BGRX");
  ASSERT_NE(port, nullptr);
  // Left half red, right half blue: halving keeps both colours exact.
  host::OwnedVideoSample* frame = rig.frame(640, 480, kOpaque | kBlue);
  for (int32_t y = 0; y < 480; ++y) {
    for (int32_t x = 0; x < 320; ++x) frame->setPixel(x, y, kOpaque | kRed);
  }
  rig.push(port, frame);
  rig.expectPicture([](int32_t x, int32_t) { return x < 320 ? kRed : kBlue; });

  rig.adapter()->setDrawRect(host::rectInt(0, 0, 319, 239));
  ASSERT_TRUE(eventually([&] {
    std::vector<host::SizeRecord> sizes = rig.context.windowSizes();
    return sizes.back().width == 320 && sizes.back().height == 240;
  }));
  // The new area holds the whole picture at half size; the copy into the window covers only
  // the new area, so the rest keeps what the last larger redraw left.
  rig.expectPicture([](int32_t x, int32_t y) {
    if (x < 320 && y < 240) return x < 160 ? kRed : kBlue;
    return x < 320 ? kRed : kBlue;
  });
  rig.shutdown();
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
}

TEST(AdapterNegotiation, OneReconfigurationPerChangeNotOnePerPass) {
  PluginRig rig;
  ASSERT_TRUE(rig.start());
  ASSERT_TRUE(eventually([&] { return !rig.context.windowSizes().empty(); }));
  // Re-acquiring the window inside the reconfiguration must not ask for another one: over
  // many redraws the size is reported once.
  uint32_t generation = rig.window.generation();
  ASSERT_TRUE(eventually([&] { return rig.window.generation() >= generation + 5; }));
  EXPECT_EQ(rig.context.windowSizes().size(), 1u);
  rig.adapter()->setDrawRect(host::rectInt(0, 0, 319, 239));
  ASSERT_TRUE(eventually([&] { return rig.context.windowSizes().size() >= 2; }));
  generation = rig.window.generation();
  ASSERT_TRUE(eventually([&] { return rig.window.generation() >= generation + 5; }));
  EXPECT_EQ(rig.context.windowSizes().size(), 2u);
  rig.shutdown();
}

TEST(AdapterNegotiation, TakingTheWindowAwayPausesDrawingUntilOneIsGiven) {
  PluginRig rig;
  ASSERT_TRUE(rig.start());
  PortInterface* port = rig.addOnlyChannel("BGRX");
  ASSERT_NE(port, nullptr);
  rig.push(port, rig.frame(640, 480, kOpaque | kRed));
  rig.expectPicture([](int32_t, int32_t) { return kRed; });

  rig.adapter()->setWindow(0);
  // Any redraw already under way ends; after that nothing reaches the window, although an
  // unchanged picture is otherwise redrawn about every 101 ms.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  uint32_t paused = rig.window.generation();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(rig.window.generation(), paused);

  rig.adapter()->setWindow(rig.window.handle());
  ASSERT_TRUE(eventually([&] { return rig.window.generation() > paused; }));
  rig.push(port, rig.frame(640, 480, kOpaque | kGreen));
  rig.expectPicture([](int32_t, int32_t) { return kGreen; });
  rig.shutdown();
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
}

}  // namespace
