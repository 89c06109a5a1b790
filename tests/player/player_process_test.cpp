// The player program as a user runs it: on a private Xvfb and off-screen, pushed and pulled,
// forwards and backwards; and its refusal of bad options.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "clip.h"
#include "composition_check.h"
#include "player_run.h"
#include "png_reader.h"
#if TAVORIN_HAVE_XVFB
#include "x11_keys.h"
#endif
#include "xvfb_server.h"

namespace {

void expectSoundReport(const PlayerRun& run, int streams) {
  EXPECT_EQ(run.exitCode, 0) << run.err;
  ASSERT_FALSE(run.report.empty()) << run.out << run.err;
  long long expected = run.count("expected"), delivered = run.count("delivered");
  long long presented = run.count("presented"), dropped = run.count("dropped");
  EXPECT_EQ(expected % streams, 0);
  EXPECT_GT(presented, 0);
  EXPECT_LE(delivered, expected);
  EXPECT_LE(presented + dropped, delivered);
  EXPECT_GT(run.count("redraws"), 0);
  EXPECT_EQ(run.count("made"), delivered);
  EXPECT_EQ(run.count("released"), delivered);
  EXPECT_EQ(run.count("extra_releases"), 0);
  EXPECT_EQ(run.report.at("released_ok"), "1");
}

TEST(PlayerProcess, PlaysIntoAnX11WindowAndSnapshotsTheComposition) {
#if TAVORIN_HAVE_XVFB
  XvfbServer server;
  ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
  testsupport::TempFolder folder("tavorin-play-shot");
  std::string shot = folder.file("x11.png");
  PlayerRun run = runPlayer("--seconds 3 --size 160x90 --window 320x180 --channels 2 --snapshot " + shot, server.display());
  expectSoundReport(run, 3);
  EXPECT_EQ(run.count("expected"), 270);
  EXPECT_NE(run.report["window"].find("x11"), std::string::npos) << run.out;
  expectComposition(shot, 2);
#else
  GTEST_SKIP() << "no Xvfb";
#endif
}

#if TAVORIN_HAVE_XVFB
TEST(PlayerProcess, AResizedWindowGetsAPictureOfItsNewSize) {
  XvfbServer server;
  ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
  Display* display = XOpenDisplay(server.display().c_str());
  ASSERT_NE(display, nullptr);
  testsupport::TempFolder folder("tavorin-play-shot");
  std::string shot = folder.file("resized.png");
  bool resized = false;
  PlayerRun run = runPlayer("--seconds 3 --size 160x90 --window 256x144 --snapshot " + shot, server.display(), [&] {
    for (int i = 0; i < 2500 && !resized; ++i) {
      Window window = findNamedWindow(display, "tavorin-play");
      XWindowAttributes state{};
      if (window && XGetWindowAttributes(display, window, &state) && state.map_state == IsViewable) {
        XResizeWindow(display, window, 400, 240);
        XSync(display, False);
        resized = true;
      }
      usleep(2000);
    }
  });
  XCloseDisplay(display);
  ASSERT_TRUE(resized) << "the player's window never appeared";
  expectSoundReport(run, 2);
  PngPicture picture = readPng(shot);
  EXPECT_EQ(picture.width, 400) << run.err;
  EXPECT_EQ(picture.height, 240);
  expectComposition(shot, 1);
}
#endif

TEST(PlayerProcess, PlaysOffScreenPushedAndPulledForwardsAndBackwards) {
  struct Case {
    const char* name;
    const char* args;
  };
  const Case cases[] = {
      {"push", ""},
      {"pull", "--pull"},
      {"reverse", "--rate -1000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::TempFolder folder("tavorin-play-shot");
    std::string shot = folder.file(std::string(c.name) + ".png");
    PlayerRun run = runPlayer(std::string("--seconds 3 --size 160x90 --window 256x144 ") + c.args + " --snapshot " + shot);
    expectSoundReport(run, 2);
    EXPECT_EQ(run.count("expected"), 180);
    EXPECT_EQ(run.report["window"], "offscreen");
    expectComposition(shot, 1);
  }
}

TEST(PlayerProcess, BadOptionsExitWithUsageErrorBeforePlaying) {
  for (const char* args : {"--bogus", "--size 0x0", "--fps -5", "--channels"}) {
    PlayerRun run = runPlayer(args);
    EXPECT_EQ(run.exitCode, 2) << args;
    EXPECT_NE(run.err.find("tavorin-play: "), std::string::npos) << args << ": " << run.err;
    EXPECT_TRUE(run.report.empty()) << args;
  }
  PlayerRun help = runPlayer("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--snapshot"), std::string::npos);
}

TEST(PlayerProcess, AMissingPluginIsAClearFailure) {
  PlayerRun run = runPlayer("--seconds 1 --plugin /nonexistent/libtavorin.so");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("cannot load the plug-in '/nonexistent/libtavorin.so'"), std::string::npos) << run.err;
}

}  // namespace
