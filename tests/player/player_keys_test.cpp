// The player's keys, pressed in its X11 window on a private Xvfb while it plays, and the
// timing picture of a scripted run. Each key is checked by what the plug-in then shows: the
// snapshots key s writes (taken once every stream shows a frame of the current stretch of
// play), ffmpeg's own pictures of the sought moment, and the report's counts.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "composition_check.h"
#include "player_run.h"
#include "png_reader.h"
#include "support/temp_folder.h"
#include "timing_chart.h"
#include "x11_keys.h"
#include "xvfb_server.h"

namespace {

bool fileExists(const std::string& path) {
  struct stat info{};
  return stat(path.c_str(), &info) == 0;
}

// Presses s and waits for the numbered snapshot it writes.
bool snapshot(Display* display, Window window, const std::string& path) {
  pressKey(display, window, XK_s);
  return testsupport::eventually([&] { return fileExists(path); }, 60);
}

void pauseBriefly(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The SNAPSHOT lines of a run, in order.
std::vector<ReportFields> snapshotLines(const PlayerRun& run) {
  std::vector<ReportFields> lines;
  std::istringstream text(run.out);
  std::string line;
  while (std::getline(text, line)) {
    if (line.compare(0, 9, "SNAPSHOT ") == 0) lines.push_back(parseFields(line));
  }
  return lines;
}

void expectEveryFrameReleasedOnce(const PlayerRun& run) {
  EXPECT_EQ(run.exitCode, 0) << run.err;
  ASSERT_FALSE(run.report.empty()) << run.out << run.err;
  EXPECT_EQ(run.count("released"), run.count("made"));
  EXPECT_EQ(run.count("extra_releases"), 0);
  EXPECT_EQ(run.report.at("released_ok"), "1");
}

// Mean absolute difference per colour byte of two pictures of one size; 255 when they differ
// in size or one is missing.
double meanDifference(const PngPicture& a, const PngPicture& b) {
  if (a.pixels.empty() || a.width != b.width || a.height != b.height) return 255;
  double total = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    for (int shift : {0, 8, 16}) total += std::abs(int((a.pixels[i] >> shift) & 0xFF) - int((b.pixels[i] >> shift) & 0xFF));
  }
  return total / (3.0 * a.pixels.size());
}

class PlayerKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    if (server_.display().empty()) GTEST_SKIP() << "Xvfb did not start";
    display_ = XOpenDisplay(server_.display().c_str());
    ASSERT_NE(display_, nullptr);
  }
  void TearDown() override {
    if (display_) XCloseDisplay(display_);
  }
  std::string path(const std::string& name) const { return folder_.path() + "/" + name; }

  XvfbServer server_;
  testsupport::TempFolder folder_;
  Display* display_ = nullptr;
};

TEST_F(PlayerKeys, PauseHoldsThePictureFullScreenReachesThePluginAndRatesPlayInOrder) {
  std::string shot = path("clip.png");
  auto numbered = [&](int n) { return path("clip-" + std::to_string(n) + ".png"); };
  bool driven = false;
  PlayerRun run = runPlayer("--seconds 60 --fps 20 --size 160x90 --window 256x144 --snapshot " + shot, server_.display(), [&] {
    Window window = waitForPlayerWindow(display_);
    if (!window) return;
    pauseBriefly(500);
    pressKey(display_, window, XK_space);
    if (!snapshot(display_, window, numbered(1))) return;
    pauseBriefly(400);
    if (!snapshot(display_, window, numbered(2))) return;
    // Full screen and back: on a bare server the window takes the screen itself.
    pressKey(display_, window, XK_f);
    if (!testsupport::eventually([&] { return windowHasSize(display_, window, 1024, 768); }, 30)) return;
    if (!snapshot(display_, window, numbered(3))) return;
    pressKey(display_, window, XK_f);
    if (!testsupport::eventually([&] { return windowHasSize(display_, window, 256, 144); }, 30)) return;
    if (!snapshot(display_, window, numbered(4))) return;
    // Resumed at normal speed, then faster, slower, backwards and forwards again.
    pressKey(display_, window, XK_space);
    pauseBriefly(600);
    if (!snapshot(display_, window, numbered(5))) return;
    for (KeySym key : {XK_bracketright, XK_bracketright, XK_bracketleft, XK_r}) {
      pressKey(display_, window, key);
      pauseBriefly(400);
    }
    pressKey(display_, window, XK_BackSpace);
    pauseBriefly(400);
    pressKey(display_, window, XK_q);
    driven = true;
  });
  ASSERT_TRUE(driven) << "the window or a snapshot never came\n" << run.out << run.err;
  expectEveryFrameReleasedOnce(run);
  std::vector<ReportFields> shots = snapshotLines(run);
  ASSERT_EQ(shots.size(), 5u) << run.out;

  // Paused: the same picture, the clock standing, nothing presented or dropped meanwhile.
  PngPicture first = readPng(numbered(1)), second = readPng(numbered(2));
  ASSERT_FALSE(first.pixels.empty());
  EXPECT_EQ(first.pixels, second.pixels);
  EXPECT_EQ(shots[0].at("paused"), "1");
  EXPECT_EQ(shots[0].at("media"), shots[1].at("media"));
  EXPECT_EQ(shots[0].at("presented"), shots[1].at("presented"));
  EXPECT_EQ(shots[0].at("dropped"), shots[3].at("dropped"));

  // The full-screen size reached the plug-in as its drawing rectangle: it composed the whole
  // screen, and then the window's own size again.
  PngPicture full = readPng(numbered(3)), back = readPng(numbered(4));
  EXPECT_EQ(full.width, 1024);
  EXPECT_EQ(full.height, 768);
  expectComposition(numbered(3), 1);
  EXPECT_EQ(back.width, 256);
  EXPECT_EQ(back.height, 144);
  expectComposition(numbered(4), 1);

  // Resuming goes on from where the clock stood: the frames queued meanwhile are still on
  // time. A clock that had run on under the pause would drop every one of them (four or more).
  EXPECT_EQ(shots[4].at("paused"), "0");
  EXPECT_GT(std::stoll(shots[4].at("presented")), std::stoll(shots[3].at("presented")));
  EXPECT_LE(std::stoll(shots[4].at("dropped")) - std::stoll(shots[3].at("dropped")), 2) << run.out;

  // Faster, slower, backwards, forwards: every stretch presented in its own order.
  EXPECT_EQ(run.count("out_of_order"), 0) << run.out;
  EXPECT_EQ(run.count("seeks"), 2) << "r and BackSpace each turn the direction";
}

TEST_F(PlayerKeys, SeeksShowTheFrameFfmpegFindsAtTheTarget) {
  std::string media = path("counting.mp4");
  ASSERT_EQ(std::system(("ffmpeg -v error -nostdin -y -f lavfi -i testsrc2=s=320x240:r=25:d=10 -c:v libx264 "
                         "-pix_fmt yuv420p -g 50 " + media).c_str()),
            0);
  // ffmpeg's own picture at time t.
  auto reference = [&](double t) {
    char name[64];
    std::snprintf(name, sizeof name, "ref_%.2f.png", t);
    std::string out = path(name);
    char command[512];
    std::snprintf(command, sizeof command, "ffmpeg -v error -nostdin -y -ss %.3f -i %s -frames:v 1 %s", t, media.c_str(),
                  out.c_str());
    EXPECT_EQ(std::system(command), 0);
    return readPng(out);
  };
  std::string shot = path("file.png");
  auto numbered = [&](int n) { return path("file-" + std::to_string(n) + ".png"); };
  bool driven = false;
  PlayerRun run = runPlayer("--window 320x240 --snapshot " + shot + " " + media, server_.display(), [&] {
    Window window = waitForPlayerWindow(display_);
    if (!window) return;
    pauseBriefly(300);
    // Paused at the start, then 5 s on: the picture of 5.00 s.
    for (KeySym key : {XK_space, XK_Home, XK_Right}) pressKey(display_, window, key);
    if (!snapshot(display_, window, numbered(1))) return;
    // 5 s back: the first picture.
    pressKey(display_, window, XK_Left);
    if (!snapshot(display_, window, numbered(2))) return;
    // A minute on stops at the end: the last picture.
    pressKey(display_, window, XK_Right, true);
    if (!snapshot(display_, window, numbered(3))) return;
    // Backwards from 5 s for a moment, then quit.
    for (KeySym key : {XK_Home, XK_Right, XK_r, XK_space}) pressKey(display_, window, key);
    pauseBriefly(1200);
    pressKey(display_, window, XK_q);
    driven = true;
  });
  ASSERT_TRUE(driven) << "the window or a snapshot never came\n" << run.out << run.err;
  expectEveryFrameReleasedOnce(run);
  EXPECT_EQ(run.count("out_of_order"), 0) << run.out;

  // Each snapshot against ffmpeg's pictures of the target and of its neighbours: the closest
  // is the target's or one frame beside it, and it is near (only the colour conversions
  // differ), while a picture a few frames off is clearly farther.
  struct Seek {
    int shot;
    double target;
  };
  for (const Seek& seek : {Seek{1, 5.0}, Seek{2, 0.0}, Seek{3, 9.96}}) {
    SCOPED_TRACE("target " + std::to_string(seek.target));
    PngPicture picture = readPng(numbered(seek.shot));
    ASSERT_EQ(picture.width, 320);
    double best = 255, far = 255;
    for (int offset = -1; offset <= 1; ++offset) {
      double t = seek.target + offset * 0.04;
      if (t >= 0 && t < 10) best = std::min(best, meanDifference(picture, reference(t)));
    }
    double farTime = seek.target >= 5 ? seek.target - 0.4 : seek.target + 0.4;
    far = meanDifference(picture, reference(farTime));
    EXPECT_LT(best, 2.0) << "far " << far;
    EXPECT_GT(far, best * 2) << "best " << best;
  }
}

// A scripted run: pause at 1 s for 0.3 s of wall time, then at 2 s seek 5 s on. The clock
// stops by itself at each step's time, so the marks lie at exactly those media times.
TEST(PlayerTiming, TheTimingPictureMarksThePauseAndTheSeekWhereTheyHappened) {
  testsupport::TempFolder folder;
  std::string picture = folder.path() + "/timing.png";
  PlayerRun run = runPlayer("--seconds 10 --fps 25 --size 160x90 --overlay off --script 1000:space,+300:space,2000:Right "
                            "--timing " + picture);
  expectEveryFrameReleasedOnce(run);
  ReportFields timing;
  std::istringstream lines(run.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.compare(0, 7, "TIMING ") == 0) timing = parseFields(line);
  }
  ASSERT_FALSE(timing.empty()) << run.out << run.err;
  PngPicture chart = readPng(picture);
  ASSERT_FALSE(chart.pixels.empty());
  play::ChartAxis axis;
  axis.from = std::stoll(timing.at("media_from"));
  axis.to = std::stoll(timing.at("media_to"));
  axis.layout = play::chartLayout(1);
  ASSERT_EQ(chart.width, axis.layout.width);
  ASSERT_EQ(chart.height, axis.layout.height);
  auto column = [&](int64_t media) { return static_cast<int>(std::lround(axis.column(media))); };
  const play::ChartLayout& l = axis.layout;

  // The columns of one pixel row that hold a colour.
  auto columnsOf = [&](int y, uint32_t colour) {
    std::vector<int> found;
    for (int x = l.plotLeft; x < l.plotRight; ++x) {
      if (chart.at(x, y) == colour) found.push_back(x);
    }
    return found;
  };
  auto allNear = [](const std::vector<int>& columns, std::vector<int> wanted) {
    for (int x : columns) {
      bool near = false;
      for (int w : wanted) near = near || std::abs(x - w) <= 2;
      if (!near) return false;
    }
    return true;
  };
  std::vector<int> pauses = columnsOf(l.pauseRowTop + 4, play::chart::kPauseColour);
  ASSERT_FALSE(pauses.empty());
  EXPECT_TRUE(allNear(pauses, {column(1000)})) << pauses.front() << " for " << column(1000);
  std::vector<int> seeks = columnsOf(l.seekRowTop + 3, play::chart::kSeekColour);
  ASSERT_FALSE(seeks.empty());
  EXPECT_TRUE(allNear(seeks, {column(2000), column(7000)})) << seeks.front();
  EXPECT_TRUE(allNear({column(2000), column(7000)}, seeks)) << "both ends of the seek are marked";

  // Frames were presented up to the seek and after its target, none in between.
  auto presentedIn = [&](int64_t from, int64_t to) {
    for (int x = column(from); x <= column(to); ++x) {
      for (int y = l.bandTops[0]; y <= l.bandBottoms[0]; ++y) {
        if (chart.at(x, y) == play::chart::kPresentedColour) return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(presentedIn(1200, 1900));
  EXPECT_FALSE(presentedIn(2300, 6700));
  EXPECT_TRUE(presentedIn(7200, 9000));
}

}  // namespace
