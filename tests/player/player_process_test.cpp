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
#if TAVORIN_HAVE_XVFB
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef Bool
#undef None
#undef Status
#endif
#include "player_run.h"
#include "png_reader.h"
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

bool isBlack(uint32_t p) { return ((p >> 16) & 0xFF) <= 8 && ((p >> 8) & 0xFF) <= 8 && (p & 0xFF) <= 8; }
bool isOverlayBar(uint32_t p) {
  return ((p >> 16) & 0xFF) >= 0xC0 && ((p >> 8) & 0xFF) >= 0x80 && ((p >> 8) & 0xFF) <= 0xC0 && (p & 0xFF) <= 0x40;
}
bool isPicture(uint32_t p) { return (p & 0xFF) >= 0x60 && ((p >> 16) & 0xFF) <= 0x70; }

// The window's last picture: the picture through the overlay's clear part and holes, the
// overlay's bar elsewhere, black outside every channel.
void expectComposition(const std::string& path, int channels) {
  PngPicture shot = readPng(path);
  ASSERT_FALSE(shot.pixels.empty()) << path;
  play::Fractions o = play::layout::overlayArea();
  auto inOverlay = [&](double fx, double fy) {
    return shot.at(static_cast<int>((o.left + fx * (o.right - o.left)) * shot.width),
                   static_cast<int>((o.top + fy * (o.bottom - o.top)) * shot.height));
  };
  auto inWindow = [&](double fx, double fy) {
    return shot.at(static_cast<int>(fx * shot.width), static_cast<int>(fy * shot.height));
  };
  std::ostringstream where;
  where << path << ": ";
  EXPECT_TRUE(isPicture(inOverlay(0.6, 0.35))) << where.str() << "clear part " << std::hex << inOverlay(0.6, 0.35);
  for (const play::Fractions& hole : play::layout::kHoles) {
    uint32_t p = inOverlay((hole.left + hole.right) / 2, (hole.top + hole.bottom) / 2);
    EXPECT_TRUE(isPicture(p)) << where.str() << "hole " << std::hex << p;
  }
  EXPECT_TRUE(isOverlayBar(inOverlay(0.75, 0.85))) << where.str() << "bar " << std::hex << inOverlay(0.75, 0.85);
  EXPECT_TRUE(isOverlayBar(inOverlay(0.95, 0.97))) << where.str() << "bar " << std::hex << inOverlay(0.95, 0.97);
  for (auto point : {std::make_pair(0.02, 0.02), std::make_pair(0.98, 0.5), std::make_pair(0.5, 0.985)}) {
    uint32_t p = inWindow(point.first, point.second);
    EXPECT_TRUE(isBlack(p)) << where.str() << "margin " << std::hex << p;
  }
  if (channels == 2) {
    EXPECT_TRUE(isBlack(inWindow(0.5, 0.3))) << where.str() << "gutter between tiles";
    EXPECT_TRUE(isPicture(inWindow(0.3, 0.3)));
    EXPECT_TRUE(isPicture(inWindow(0.7, 0.3)));
  }
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
// The player's window among the root's children, found by its name; 0 when absent.
Window findWindow(Display* display, const char* name) {
  Window root = DefaultRootWindow(display), parent = 0, *children = nullptr, found = 0;
  unsigned count = 0;
  if (!XQueryTree(display, root, &root, &parent, &children, &count)) return 0;
  for (unsigned i = 0; i < count && !found; ++i) {
    char* title = nullptr;
    if (XFetchName(display, children[i], &title) && title) {
      if (std::string(title) == name) found = children[i];
      XFree(title);
    }
  }
  if (children) XFree(children);
  return found;
}

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
      Window window = findWindow(display, "tavorin-play");
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
