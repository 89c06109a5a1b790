// The loaded plug-in let go by its last release without destroy, as an engine that shuts down
// in a hurry does: with the output still presenting, and with ports made after destroy. Nothing
// may crash, and (under the leak checker) nothing the renderer made for a channel may be left.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "gdi/plugin_rig.h"
#include "support/environment_guard.h"
#include "support/temp_folder.h"

namespace gdi_testing {
namespace {

TEST(PluginReleaseTest, LastReleaseWhileTheOutputPresents) {
  PluginRig rig(64, 48);
  ASSERT_TRUE(rig.start());
  PortInterface* port = rig.addOnlyChannel("BGRX");
  ASSERT_NE(port, nullptr);
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

// The engine gives up waiting for a window and destroys the output from another thread: the
// create waiting for the renderer returns false.
TEST(PluginReleaseTest, CreateWithoutAWindowAnswersFalseOnceDestroyed) {
  PluginRig rig(64, 48);
  ASSERT_TRUE(rig.load());
  ASSERT_TRUE(rig.waitForAdapter());
  EXPECT_TRUE(rig.component->destroy());
  if (!eventually([&] { return rig.createReturned(); })) {
    ADD_FAILURE() << "create did not return after destroy";
    std::fflush(nullptr);
    std::_Exit(1);  // the waiting thread could never be joined
  }
  EXPECT_FALSE(rig.finishCreate());
}

// The records of create and destroy, as the loaded plug-in writes them through the engine's
// logging library (which reads KMC_LOG_FILE at every record).
TEST(PluginLogTest, CreateAndDestroyEachWriteTheirRecord) {
  testsupport::TempFolder folder("tavorin-plugin-log");
  const std::string path = folder.file("log.txt");
  testsupport::EnvironmentGuard logFile("KMC_LOG_FILE", path.c_str());
  {
    PluginRig rig(32, 24);
    ASSERT_TRUE(rig.start());
    ASSERT_TRUE(rig.component->destroy());
    rig.engine.release();
    rig.plugin = nullptr;
  }
  std::ifstream in(path);
  const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(log,
            "Rendering|KMC::VideoOutput<class KMC::Tavorin>::create|1034|Video Renderer Creation\n"
            "Rendering|KMC::VideoOutput<class KMC::Tavorin>::destroy|1092|Video Render Destruction\n");
}

}  // namespace
}  // namespace gdi_testing
