// The drawing rectangle as an engine may set it: anywhere in the window, empty, inverted, or
// with edges too far apart for 32-bit sizes. The window outside the rectangle is never
// touched, a rectangle that cannot be drawn leaves the window as it was (no crash, nothing
// written outside any bitmap: run under AddressSanitizer and UBSan to see it), and the next
// sound rectangle is drawn again.
#include <chrono>
#include <climits>
#include <thread>

#include "gdi/plugin_rig.h"

namespace {

using namespace gdi_testing;

// Long enough for the output to recompose an unchanged picture (every 101 ms) at least once.
void letARecomposeHappen() { std::this_thread::sleep_for(std::chrono::milliseconds(250)); }

TEST(DrawingRectangle, OneAwayFromTheOriginIsFilledAndCopiedExactly) {
  PluginRig rig(64, 48);
  ASSERT_TRUE(rig.start());
  PortInterface* port = rig.addOnlyChannel("BGRX");
  ASSERT_NE(port, nullptr);
  rig.push(port, rig.frame(64, 48, kOpaque | kWhite));
  rig.expectPicture([](int32_t, int32_t) { return kWhite; });

  // A 32 x 24 area from (10, 5), then the channel in its top-left quarter: the area is black
  // but for the channel, and the window around it keeps the white drawn before. (The area
  // changes first, so that no redraw of the whole window shows the moved channel.)
  rig.adapter()->setDrawRect(host::rectInt(10, 5, 41, 28));
  rig.place(port, RectFloat(0, 0, 0.5, 0.5));
  rig.push(port, rig.frame(64, 48, kOpaque | kRed));
  rig.expectPicture([](int32_t x, int32_t y) {
    if (x < 10 || x > 41 || y < 5 || y > 28) return kWhite;
    return x < 26 && y < 17 ? kRed : 0u;
  });
  // The size reported to the engine is the area's (the reconfiguration may follow the first
  // redraw at the new rectangle by one pass).
  EXPECT_TRUE(eventually([&] {
    std::vector<host::SizeRecord> sizes = rig.context.windowSizes();
    return !sizes.empty() && sizes.back().width == 32 && sizes.back().height == 24;
  }));
  rig.shutdown();
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
}

TEST(DrawingRectangle, AreasThatCannotBeDrawnLeaveTheWindowAloneUntilASoundOne) {
  // Right left of left: no area at all.
  PluginRig rig(64, 48);
  ASSERT_TRUE(rig.start(RectInt(10, 0, 0, 47)));
  PortInterface* port = rig.addOnlyChannel("BGRX");
  ASSERT_NE(port, nullptr);
  rig.push(port, rig.frame(64, 48, kOpaque | kGreen));
  ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventPresented, 1).size() == 1; }));
  letARecomposeHappen();
  EXPECT_EQ(rig.window.generation(), 0u);

  // Sizes beyond 32 bits: reported as the largest 32-bit size, never drawn.
  struct TooLarge {
    RectInt rect;
    int32_t reportedWidth, reportedHeight;
  };
  const TooLarge tooLarge[] = {
      {RectInt(0, 0, INT_MAX - 1, 10), INT_MAX, 11},
      {RectInt(0, 0, INT_MAX, 10), INT_MAX, 11},
      {RectInt(INT_MIN, INT_MIN, INT_MAX, INT_MAX), INT_MAX, INT_MAX},
      {RectInt(INT_MIN, 0, -1, 10), INT_MAX, 11},
  };
  for (const TooLarge& area : tooLarge) {
    size_t reports = rig.context.windowSizes().size();
    rig.adapter()->setDrawRect(host::rectInt(area.rect.left, area.rect.top, area.rect.right, area.rect.bottom));
    ASSERT_TRUE(eventually([&] { return rig.context.windowSizes().size() > reports; }));
    host::SizeRecord reported = rig.context.windowSizes().back();
    EXPECT_EQ(reported.width, area.reportedWidth) << area.rect.left << " " << area.rect.right;
    EXPECT_EQ(reported.height, area.reportedHeight) << area.rect.top << " " << area.rect.bottom;
    letARecomposeHappen();
  }
  EXPECT_EQ(rig.window.generation(), 0u);

  rig.adapter()->setDrawRect(host::rectInt(0, 0, 63, 47));
  rig.expectPicture([](int32_t, int32_t) { return kGreen; });
  rig.shutdown();
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
}

}  // namespace
