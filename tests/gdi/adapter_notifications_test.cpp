// The window-handle adapter: what each engine-side setter stores and which state notifications
// it raises, seen through both of the adapter's views.
#include <gtest/gtest.h>

#include <vector>

#include "engine/engine_values.h"
#include "gdi/video_adapter_gdi_hwnd.h"

namespace {

using KMC::RectInt;
using KMC::VideoAdapterGDIHWND;

// Records the notifications together with what the renderer's view answered at that moment.
class AdapterNotifications : public ::testing::Test {
 protected:
  struct Seen {
    bool ready;
    KMC::WindowHandle window;
    RectInt drawRect;
  };
  void SetUp() override {
    adapter.bindNotification([this](bool ready) { seen.push_back({ready, view->window(), view->drawRect()}); });
  }
  std::vector<bool> readiness() const {
    std::vector<bool> out;
    for (const Seen& s : seen) out.push_back(s.ready);
    return out;
  }

  VideoAdapterGDIHWND adapter;
  KMC::VideoAdapterHWND* engine = &adapter;  // the engine's view
  KMC::GDIAdapter* view = &adapter;          // the renderer's view
  std::vector<Seen> seen;
};

TEST_F(AdapterNotifications, StartsEmpty) {
  EXPECT_EQ(view->window(), 0u);
  EXPECT_TRUE(view->drawRect().sameEdges(RectInt(0, 0, 0, 0)));
  EXPECT_TRUE(view->secondaryRect().sameEdges(RectInt(0, 0, 0, 0)));
  EXPECT_FALSE(view->hasSecondaryRect());
}

TEST_F(AdapterNotifications, WindowChangesRaiseOnlyTheHalvesThatConcernAWindow) {
  engine->setWindow(0x1000);  // from none: true only, with the new handle in place
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(seen[0].ready);
  EXPECT_EQ(seen[0].window, 0x1000u);

  engine->setWindow(0x1000);  // the same handle: nothing
  EXPECT_EQ(seen.size(), 1u);

  engine->setWindow(0x2000);  // another: false with the old handle, true with the new
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_FALSE(seen[1].ready);
  EXPECT_EQ(seen[1].window, 0x1000u);
  EXPECT_TRUE(seen[2].ready);
  EXPECT_EQ(seen[2].window, 0x2000u);

  engine->setWindow(0);  // to none: false only
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_FALSE(seen[3].ready);
  EXPECT_EQ(seen[3].window, 0x2000u);
  EXPECT_EQ(view->window(), 0u);
}

TEST_F(AdapterNotifications, DrawRectChangeInAnyEdgeIsBracketed) {
  engine->setDrawRect(host::rectInt(0, 0, 639, 479));
  ASSERT_EQ(readiness(), (std::vector<bool>{false, true}));
  EXPECT_TRUE(seen[0].drawRect.sameEdges(RectInt(0, 0, 0, 0)));   // before the change
  EXPECT_TRUE(seen[1].drawRect.sameEdges(RectInt(0, 0, 639, 479)));  // after it

  engine->setDrawRect(host::rectInt(0, 0, 639, 479));
  EXPECT_EQ(seen.size(), 2u);
  const KMC::RectIntRecord oneEdge[] = {host::rectInt(1, 0, 639, 479), host::rectInt(1, 1, 639, 479),
                                        host::rectInt(1, 1, 640, 479), host::rectInt(1, 1, 640, 480)};
  for (const KMC::RectIntRecord& rect : oneEdge) {
    size_t before = seen.size();
    engine->setDrawRect(rect);
    ASSERT_EQ(seen.size(), before + 2);
    EXPECT_TRUE(view->drawRect().sameEdges(RectInt(rect)));
  }
  EXPECT_FALSE(view->hasSecondaryRect());
}

TEST_F(AdapterNotifications, SecondaryRectFlagStaysSetOnceChanged) {
  engine->setSecondaryRect(host::rectInt(0, 0, 0, 0));  // equal to the initial one: nothing
  EXPECT_TRUE(seen.empty());
  EXPECT_FALSE(view->hasSecondaryRect());

  engine->setSecondaryRect(host::rectInt(10, 20, 30, 40));
  EXPECT_EQ(readiness(), (std::vector<bool>{false, true}));
  EXPECT_TRUE(view->hasSecondaryRect());
  EXPECT_TRUE(view->secondaryRect().sameEdges(RectInt(10, 20, 30, 40)));

  engine->setSecondaryRect(host::rectInt(0, 0, 0, 0));
  EXPECT_EQ(seen.size(), 4u);
  EXPECT_TRUE(view->hasSecondaryRect());
  EXPECT_TRUE(view->drawRect().sameEdges(RectInt(0, 0, 0, 0)));
}

TEST(AdapterWithoutRenderer, AcceptsChangesSilently) {
  VideoAdapterGDIHWND adapter;
  adapter.setWindow(0x42);
  adapter.setDrawRect(host::rectInt(0, 0, 99, 49));
  adapter.setSecondaryRect(host::rectInt(1, 2, 3, 4));
  EXPECT_EQ(adapter.window(), 0x42u);
  EXPECT_EQ(adapter.drawRect().width(), 100);
  EXPECT_EQ(adapter.drawRect().height(), 50);
  EXPECT_TRUE(adapter.hasSecondaryRect());
  EXPECT_FALSE(adapter.stateNotification);
}

}  // namespace
