// The player on real video: files made at test time by FFmpeg's command-line tool from its
// built-in sources, decoded and played through the plug-in off-screen and on a private Xvfb.
// What the player reports is checked against ffprobe, and what it drew against the picture
// ffmpeg itself writes for the same moment.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <chrono>
#include <thread>

#include "decoded_feed.h"
#include "frame_pool.h"
#include "picture_converter.h"
#include "player_run.h"
#include "png_reader.h"
#include "support/temp_folder.h"
#include "xvfb_server.h"

namespace {

// Runs a shell command; answers its exit status (-1 when it could not run).
int shell(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The first line a command prints.
std::string firstLine(const std::string& command) {
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) text += buffer;
    pclose(pipe);
  }
  return text.substr(0, text.find('\n'));
}

// One test file: the shell command that makes it into folder $M (after the file it needs).
struct MediaRecipe {
  const char* name;
  const char* needs;  // another recipe's file, or ""
  const char* command;
};

#define FFMPEG "ffmpeg -v error -nostdin -y -f lavfi -i "

// A second or so each, small, so every run is short. Made when a test first asks for them, so
// a test run in a process of its own makes only its own.
const MediaRecipe kRecipes[] = {
    // Odd size and the NTSC rate, H.264 in MP4 (4:4:4: 4:2:0 needs even sides).
    {"odd.mp4", "", FFMPEG "testsrc2=s=320x240:r=30000/1001:d=1 -vf scale=321:241 -c:v libx264 -pix_fmt yuv444p -g 12 $M/odd.mp4"},
    // MPEG-4 Visual (the mpeg4 encoder) in AVI, anamorphic: 240x180 samples 4:3 wide show as 320x180.
    {"wide.avi", "", FFMPEG "smptehdbars=s=240x180:r=25:d=1 -vf setsar=4/3 -c:v mpeg4 -q:v 3 $M/wide.avi"},
    // Alpha: the left half transparent, run-length coded RGBA in MOV.
    {"alpha.mov", "", FFMPEG "testsrc2=s=160x120:r=15:d=1 -vf \"format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':"
                      "a='if(lt(X,W/2),0,255)'\" -c:v qtrle $M/alpha.mov"},
    // Variable frame rate: runs of frames with gaps between them.
    {"vfr.mkv", "", FFMPEG "testsrc2=s=160x120:r=30:d=1.5 -vf \"select='lt(mod(n,30),8)+eq(mod(n,7),0)'\" -fps_mode vfr "
                    "-c:v libx264 $M/vfr.mkv"},
    // Cut in the middle: the first half of a file whose index comes first, so the half opens.
    {"whole.mp4", "", FFMPEG "mandelbrot=s=160x120:r=25 -t 2 -c:v libx264 -g 10 -movflags +faststart $M/whole.mp4"},
    {"cut.mp4", "whole.mp4", "head -c $(( $(stat -c%s $M/whole.mp4) / 2 )) $M/whole.mp4 > $M/cut.mp4"},
    // Two pictures of different shapes one after the other in one transport stream.
    {"sizes.ts", "", FFMPEG "testsrc2=s=160x120:r=25:d=0.6 -c:v libx264 -g 5 $M/first.ts && "
                     FFMPEG "smptehdbars=s=192x108:r=25:d=0.6 -c:v libx264 -g 5 -output_ts_offset 0.6 $M/second.ts && "
                     "cat $M/first.ts $M/second.ts > $M/sizes.ts"},
    // A codec tag no decoder knows; no video; no media at all.
    {"unknown.avi", "wide.avi", "sed 's/FMP4/ZZZZ/g' $M/wide.avi > $M/unknown.avi"},
    {"audio.wav", "", FFMPEG "sine=d=0.3 $M/audio.wav"},
    {"text.mp4", "", "echo 'not a video' > $M/text.mp4"},
};

#undef FFMPEG

class PlayerFiles : public ::testing::Test {
 public:
  static void SetUpTestSuite() { folder_ = new testsupport::TempFolder("tavorin-media"); }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }

  static std::string path(const std::string& name) { return folder_->file(name); }

  // The test file name, made first if it has a recipe and is not there yet.
  static std::string media(const std::string& name) {
    struct stat there {};
    if (stat(path(name).c_str(), &there) == 0) return path(name);
    for (const MediaRecipe& recipe : kRecipes) {
      if (name != recipe.name) continue;
      if (*recipe.needs) media(recipe.needs);
      if (shell("M=" + folder_->path() + " && " + recipe.command) != 0) {
        ADD_FAILURE() << "making " << name << " with the ffmpeg command-line tool failed (is package ffmpeg installed?)";
      }
    }
    return path(name);
  }

  // Pictures the decoder gives for the file, as ffprobe counts them.
  static long long ffprobeFrames(const std::string& name) {
    std::string count = firstLine("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames "
                                  "-of csv=p=0 " + media(name));
    return count.empty() ? -1 : std::atoll(count.c_str());
  }

  // ffmpeg's own picture at the file's frame `back` frames before the last, scaled to
  // width x height.
  static PngPicture picture(const std::string& name, int width, int height, int back = 0) {
    std::string stamp = firstLine("ffprobe -v error -select_streams v:0 -show_entries frame=best_effort_timestamp_time "
                                  "-of csv=p=0 " + media(name) + " | tail -n " + std::to_string(back + 1) + " | head -n 1");
    std::string out = path(name + ".last.png");
    shell("ffmpeg -v error -nostdin -y -ss " + stamp + " -i " + path(name) + " -frames:v 1 -vf scale=" +
          std::to_string(width) + ":" + std::to_string(height) + " " + out);
    return readPng(out);
  }

 private:
  static testsupport::TempFolder* folder_;  // the media made for the suite, shared by its tests
};

testsupport::TempFolder* PlayerFiles::folder_ = nullptr;

// Every frame made was delivered or left unplayed, every delivered one presented or dropped
// late (the whole file played, so none is left in a queue), and every one released once.
void expectEveryFrameAccountedFor(const PlayerRun& run) {
  EXPECT_EQ(run.exitCode, 0) << run.err;
  ASSERT_FALSE(run.report.empty()) << run.out << run.err;
  EXPECT_EQ(run.count("made"), run.count("delivered") + run.count("unplayed"));
  EXPECT_EQ(run.count("presented") + run.count("dropped"), run.count("delivered"));
  EXPECT_GT(run.count("presented"), 0);
  EXPECT_EQ(run.count("released"), run.count("made"));
  EXPECT_EQ(run.count("extra_releases"), 0);
  EXPECT_EQ(run.report.at("released_ok"), "1");
}

// Takes every frame of a feed as a channel would, keeping their timing; releases them.
struct Taken {
  std::vector<int32_t> starts;
  std::vector<uint32_t> durations;
  int64_t mostMadeAhead = 0;  // frames made but not yet taken, at most
};

Taken takeAll(play::DecodedFeed* feed, int width, int height) {
  Taken taken;
  while (!feed->exhausted()) {
    int32_t start = 0;
    uint32_t duration = 0;
    if (!feed->nextTiming(&start, &duration)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // let the decoder run ahead if it would
    taken.mostMadeAhead = std::max(taken.mostMadeAhead, feed->made() - feed->handedOut());
    KMC::VideoSample* frame = feed->take();
    EXPECT_EQ(frame->startTime, start);
    EXPECT_EQ(frame->width, width);
    EXPECT_EQ(frame->height, height);
    EXPECT_EQ(frame->stride, play::PictureConverter::paddedStride(width));
    EXPECT_EQ(frame->picture.right - frame->picture.left, width);
    EXPECT_EQ(frame->picture.bottom - frame->picture.top, height);
    taken.starts.push_back(frame->startTime);
    taken.durations.push_back(frame->duration);
    frame->release();
  }
  return taken;
}

TEST_F(PlayerFiles, DecodedFramesKeepTheDecodersGeometryAndTimingAndFewAreMadeAhead) {
  EXPECT_GT(play::PictureConverter::paddedStride(321), 321) << "FFmpeg pads a 321-pixel row";
  play::FramePool pool;
  long long frames = ffprobeFrames("odd.mp4");
  {
    play::DecodedFeed feed(&pool, play::DecodeOptions());
    std::string error;
    ASSERT_TRUE(feed.open(media("odd.mp4"), &error)) << error;
    EXPECT_STREQ(feed.fourCC(), "BGRX");
    EXPECT_NEAR(feed.period(), 1001.0 / 30, 0.01);
    feed.start();
    Taken forwards = takeAll(&feed, 321, 241);
    ASSERT_EQ(static_cast<long long>(forwards.starts.size()), frames);
    EXPECT_EQ(forwards.starts.front(), play::DecodedFeed::kMediaOrigin);
    for (size_t i = 1; i < forwards.starts.size(); ++i) {
      EXPECT_EQ(forwards.starts[i], forwards.starts[i - 1] + static_cast<int32_t>(forwards.durations[i - 1]))
          << "each frame lasts until the next";
      EXPECT_NEAR(forwards.durations[i - 1], 33.4, 1.0);
    }
    EXPECT_LE(forwards.mostMadeAhead, play::DecodedFeed::kQueueFrames);
    EXPECT_EQ(forwards.durations.back(), 0u) << "the file's final picture stays on screen until replaced";
    EXPECT_NEAR(feed.lastEnd() - forwards.starts.back(), 33.4, 1.0) << "while the feed keeps its true end";
  }
  {
    play::DecodeOptions options;
    options.backwards = true;
    play::DecodedFeed feed(&pool, options);
    std::string error;
    ASSERT_TRUE(feed.open(media("vfr.mkv"), &error)) << error;
    feed.start();
    Taken backwards = takeAll(&feed, 160, 120);
    ASSERT_EQ(static_cast<long long>(backwards.starts.size()), ffprobeFrames("vfr.mkv"));
    EXPECT_EQ(backwards.starts.back(), play::DecodedFeed::kMediaOrigin);
    uint32_t longest = 0;
    for (size_t i = 1; i < backwards.starts.size(); ++i) {
      EXPECT_EQ(backwards.starts[i] + static_cast<int32_t>(backwards.durations[i]), backwards.starts[i - 1])
          << "backwards, each frame still lasts until the one after it in the file";
      longest = std::max(longest, backwards.durations[i]);
    }
    EXPECT_GT(longest, 100u) << "the gaps of the variable rate are kept";
    EXPECT_LE(backwards.mostMadeAhead, play::DecodedFeed::kQueueFrames);
  }
  EXPECT_TRUE(pool.allReleasedExactlyOnce());
}

TEST_F(PlayerFiles, EveryDecodedFrameIsPlayedOnceAndTheCountsAgreeWithFfprobe) {
  struct Case {
    const char* file;
    const char* options;
  };
  const Case cases[] = {
      {"odd.mp4", ""},       {"wide.avi", ""},      {"alpha.mov", ""},      {"vfr.mkv", ""},
      {"cut.mp4", ""},       {"sizes.ts", ""},      {"odd.mp4", "--pull"},  {"vfr.mkv", "--rate -1000"},
      {"wide.avi", "--rate -1500 --pull"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + c.options);
    long long frames = ffprobeFrames(c.file);
    ASSERT_GT(frames, 0);
    PlayerRun run = runPlayer(std::string(c.options) + " " + media(c.file));
    expectEveryFrameAccountedFor(run);
    ASSERT_EQ(run.streams.size(), 1u) << run.out;
    EXPECT_EQ(fieldCount(run.streams[0], "delivered"), frames) << "every picture once, in either direction";
    if (std::string(c.options).find("--rate -") == std::string::npos) {
      EXPECT_EQ(fieldCount(run.streams[0], "decoded"), frames);
    }
    if (std::string(c.file) == "cut.mp4") {
      EXPECT_GT(run.count("damaged"), 0) << "the cut is counted";
    }
  }
}

// The tile's pixels inside (left, top, width, height) of shot against picture, inset by a
// few pixels for the edges scaling blurs: mean difference per colour byte.
double meanDifference(const PngPicture& shot, const PngPicture& picture, int left, int top) {
  if (picture.pixels.empty()) return 1e9;
  const int inset = 3;
  double sum = 0;
  long long count = 0;
  for (int y = inset; y < picture.height - inset; ++y) {
    for (int x = inset; x < picture.width - inset; ++x) {
      uint32_t a = shot.at(left + x, top + y), b = picture.at(x, y);
      for (int shift = 0; shift < 24; shift += 8) sum += std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
      count += 3;
    }
  }
  return count ? sum / count : 1e9;
}

// How far the tile at (left, top) of shot is from the file's last picture scaled to width x
// height. The last picture may have been dropped late on a loaded machine, so the one before
// it counts too: a wrong stride, colour or shape misses both by far.
double differenceFromTheEnd(const PngPicture& shot, const std::string& name, int left, int top, int width, int height) {
  double last = meanDifference(shot, PlayerFiles::picture(name, width, height), left, top);
  double before = meanDifference(shot, PlayerFiles::picture(name, width, height, 1), left, top);
  return std::min(last, before);
}

// Runs whose last pictures are compared play at a quarter of normal speed: a file's final frame
// dropped late (a slow redraw in a sanitizer build) would leave its tile black at the end.
const std::string kCompareSlowly = "--rate 250";

bool isBlack(uint32_t p) { return ((p >> 16) & 0xFF) <= 8 && ((p >> 8) & 0xFF) <= 8 && (p & 0xFF) <= 8; }

TEST_F(PlayerFiles, TheLastPictureIsFfmpegsOwnScaledIntoItsTileBetweenBlackBars) {
  // 321x241 in a 400x200 window: 266 wide, centred, with black bars left and right.
  for (bool onXvfb : {false, true}) {
    SCOPED_TRACE(onXvfb ? "Xvfb" : "off-screen");
#if TAVORIN_HAVE_XVFB
    std::unique_ptr<XvfbServer> server(onXvfb ? new XvfbServer : nullptr);
    std::string display = server ? server->display() : "";
    if (onXvfb) {
      ASSERT_FALSE(display.empty()) << "Xvfb did not start";
    }
#else
    if (onXvfb) continue;
    std::string display;
#endif
    std::string shotPath = path(onXvfb ? "odd_x11.png" : "odd_offscreen.png");
    PlayerRun run = runPlayer(kCompareSlowly + " --window 400x200 --snapshot " + shotPath + " " + media("odd.mp4"), display);
    expectEveryFrameAccountedFor(run);
    PngPicture shot = readPng(shotPath);
    ASSERT_EQ(shot.width, 400);
    EXPECT_LT(differenceFromTheEnd(shot, "odd.mp4", 67, 0, 266, 200), 10.0);
    for (int y : {5, 100, 195}) {
      EXPECT_TRUE(isBlack(shot.at(30, y))) << "left bar";
      EXPECT_TRUE(isBlack(shot.at(370, y))) << "right bar";
    }
  }
}

TEST_F(PlayerFiles, TwoFilesSideBySideAndAPictureWithAlphaOverAnother) {
  // Side by side in 640x240: each tile is 300x232.5 at 10 and 330 (1/64 gutters); the
  // 321x241 picture fills its width (300x225), the anamorphic one shows 16:9 (300x169).
  std::string sideBySide = path("side.png");
  PlayerRun run = runPlayer(kCompareSlowly + " --window 640x240 --snapshot " + sideBySide + " " + media("odd.mp4") + " " +
                            media("wide.avi"));
  expectEveryFrameAccountedFor(run);
  EXPECT_EQ(run.streams.size(), 2u);
  PngPicture shot = readPng(sideBySide);
  ASSERT_EQ(shot.width, 640);
  EXPECT_LT(differenceFromTheEnd(shot, "odd.mp4", 10, 8, 300, 225), 12.0);
  EXPECT_LT(differenceFromTheEnd(shot, "wide.avi", 330, 36, 300, 169), 12.0);
  EXPECT_TRUE(isBlack(shot.at(320, 120))) << "the gutter";
  EXPECT_TRUE(isBlack(shot.at(480, 20))) << "the bar above the wide picture";

  // Stacked in 320x240: the alpha picture's transparent left half shows the one below.
  std::string stacked = path("stacked.png");
  run = runPlayer(kCompareSlowly + " --stack --window 320x240 --snapshot " + stacked + " " + media("odd.mp4") + " " +
                  media("alpha.mov"));
  expectEveryFrameAccountedFor(run);
  shot = readPng(stacked);
  ASSERT_EQ(shot.width, 320);
  PngPicture below = picture("odd.mp4", 320, 240), above = picture("alpha.mov", 320, 240);
  double leftBelow = 0, leftAbove = 0, rightAbove = 0;
  int samples = 0;
  for (int y = 10; y < 230; y += 10) {
    for (int x = 10; x < 150; x += 10) {
      auto distance = [](uint32_t a, uint32_t b) {
        int d = 0;
        for (int shift = 0; shift < 24; shift += 8) d += std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
        return d / 3.0;
      };
      leftBelow += distance(shot.at(x, y), below.at(x, y));
      leftAbove += distance(shot.at(x, y), above.at(x, y));
      rightAbove += distance(shot.at(x + 165, y), above.at(x + 165, y));
      ++samples;
    }
  }
  EXPECT_LT(leftBelow / samples, 12.0) << "the lower picture through the transparent half";
  EXPECT_GT(leftAbove / samples, 20.0) << "none of the upper picture's colours where it is transparent";
  EXPECT_LT(rightAbove / samples, 12.0) << "the upper picture where it is opaque";
}

TEST_F(PlayerFiles, BadFilesAreNamedWithWhatIsWrongAndPlayNothing) {
  struct Case {
    const char* file;
    const char* message;
  };
  const Case cases[] = {
      {"missing.mp4", "cannot open: No such file or directory"},
      {"text.mp4", "cannot open: Invalid data found when processing input"},
      {"audio.wav", "no video stream"},
      {"unknown.avi", "unsupported video codec 'ZZZZ'"},
  };
  std::string all;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    PlayerRun run = runPlayer(media(c.file));
    EXPECT_EQ(run.exitCode, 4) << run.err;
    EXPECT_NE(run.err.find("tavorin-play: " + path(c.file) + ": " + c.message), std::string::npos) << run.err;
    EXPECT_TRUE(run.report.empty());
    all += " " + path(c.file);
  }
  // Among good ones, bad files are named and left out; the good one plays.
  PlayerRun run = runPlayer(all + " " + media("alpha.mov"));
  expectEveryFrameAccountedFor(run);
  EXPECT_EQ(run.streams.size(), 1u);
  EXPECT_NE(run.err.find("no video stream"), std::string::npos);
}

TEST_F(PlayerFiles, LoopSecondsAndStartPointPlayTheirShareAndReleaseWhatIsLeft) {
  // 1 s looped for 1.5 s of media time plays the file and then some; what was decoded ahead
  // when playing stopped is released unplayed.
  long long frames = ffprobeFrames("odd.mp4");
  PlayerRun run = runPlayer("--loop --seconds 1.5 " + media("odd.mp4"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_GT(run.count("delivered"), frames);
  EXPECT_EQ(run.count("made"), run.count("delivered") + run.count("unplayed"));
  EXPECT_EQ(run.report.at("released_ok"), "1");
  // From 0.5 s of a 1 s file: about half is played.
  run = runPlayer("--start 0.5 " + media("whole.mp4"));
  expectEveryFrameAccountedFor(run);
  long long all = ffprobeFrames("whole.mp4");
  EXPECT_NEAR(run.count("delivered"), all * 3 / 4, 2) << "1.5 of 2 seconds";
}

}  // namespace
