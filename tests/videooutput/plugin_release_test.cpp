// The loaded plug-in let go by its last release without destroy, as an engine that shuts down
// in a hurry does: with the output still presenting, and with ports made after destroy. Nothing
// may crash, and (under the leak checker) nothing the renderer made for a channel may be left.
#include <gtest/gtest.h>

#include "gdi/plugin_rig.h"

namespace gdi_testing {
namespace {

TEST(PluginReleaseTest, LastReleaseWhileTheOutputPresents) {
  PluginRig rig(64, 48);
  ASSERT_TRUE(rig.start());
  PortInterface* port = rig.addChannel(1, "BGRX");
  ASSERT_NE(port, nullptr);
  rig.select({1});
  rig.push(port, rig.frame(8, 8, kRed));
  rig.expectPicture([](int32_t, int32_t) { return kRed; });
  rig.push(port, rig.ledger.make(1040, 40, 8, 8));
  rig.engine.release();  // no destroy, no removePort
  rig.plugin = nullptr;
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
}

TEST(PluginReleaseTest, LastReleaseWithPortsMadeAfterDestroy) {
  PluginRig rig(64, 48);
  ASSERT_TRUE(rig.start());
  ASSERT_TRUE(rig.component->destroy());
  PortInterface* port = rig.addChannel(2, "BGRA");
  ASSERT_NE(port, nullptr);
  rig.push(port, rig.frame(8, 8, kGreen));
  rig.engine.release();
  rig.plugin = nullptr;
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
}

}  // namespace
}  // namespace gdi_testing
