// The player's command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player_options.h"

namespace {

struct Parsed {
  bool ok;
  play::PlayerOptions options;
  std::string error;
};

Parsed parse(std::vector<const char*> args) {
  args.insert(args.begin(), "tavorin-play");
  Parsed result;
  result.ok = play::parseOptions(static_cast<int>(args.size()), args.data(), &result.options, &result.error);
  return result;
}

TEST(PlayerOptions, DefaultsPlayTheBuiltInClipInAWindowOfTheFrameSize) {
  Parsed p = parse({});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.frameWidth, 640);
  EXPECT_EQ(p.options.frameHeight, 360);
  EXPECT_EQ(p.options.windowWidth, 640);
  EXPECT_EQ(p.options.windowHeight, 360);
  EXPECT_EQ(p.options.rate, 1000);
  EXPECT_EQ(p.options.channels, 1);
  EXPECT_TRUE(p.options.overlay);
  EXPECT_FALSE(p.options.pull);
  EXPECT_FALSE(p.options.formatCache);
  EXPECT_TRUE(p.options.snapshotPath.empty());
}

TEST(PlayerOptions, EveryOptionInBothSpellings) {
  Parsed p = parse({"--size", "320x200", "--window=800x600", "--fps", "59.94", "--seconds=2.5", "--rate", "-2000",
                    "--channels", "4", "--overlay=off", "--pull", "--cache", "on", "--snapshot", "out.png",
                    "--plugin=/x/libtavorin.so", "--timing", "t.png", "--script=1000:space,+400:shift+Left"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.frameWidth, 320);
  EXPECT_EQ(p.options.frameHeight, 200);
  EXPECT_EQ(p.options.windowWidth, 800);
  EXPECT_EQ(p.options.windowHeight, 600);
  EXPECT_DOUBLE_EQ(p.options.fps, 59.94);
  EXPECT_DOUBLE_EQ(p.options.seconds, 2.5);
  EXPECT_EQ(p.options.rate, -2000);
  EXPECT_EQ(p.options.channels, 4);
  EXPECT_FALSE(p.options.overlay);
  EXPECT_TRUE(p.options.pull);
  EXPECT_TRUE(p.options.formatCache);
  EXPECT_EQ(p.options.snapshotPath, "out.png");
  EXPECT_EQ(p.options.pluginPath, "/x/libtavorin.so");
  EXPECT_EQ(p.options.timingPath, "t.png");
  ASSERT_EQ(p.options.script.size(), 2u);
  EXPECT_FALSE(p.options.script[0].afterDelay);
  EXPECT_EQ(p.options.script[0].ms, 1000);
  EXPECT_EQ(p.options.script[0].command.kind, play::CommandKind::kTogglePause);
  EXPECT_TRUE(p.options.script[1].afterDelay);
  EXPECT_EQ(p.options.script[1].command.kind, play::CommandKind::kSeekBy);
  EXPECT_EQ(p.options.script[1].command.amount, -60000);
}

TEST(PlayerOptions, FilesAmongOptionsAreStreamsAndTheWindowFollowsTheirPictures) {
  Parsed p = parse({"a.mp4", "--start=1.5", "--loop", "dir/b c.mkv", "--stack", "--seconds", "3", "--decode-threads", "2"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.files, (std::vector<std::string>{"a.mp4", "dir/b c.mkv"}));
  EXPECT_DOUBLE_EQ(p.options.startSeconds, 1.5);
  EXPECT_TRUE(p.options.loop);
  EXPECT_TRUE(p.options.stack);
  EXPECT_TRUE(p.options.secondsGiven);
  EXPECT_EQ(p.options.decodeThreads, 2);
  EXPECT_EQ(p.options.windowWidth, 0) << "chosen from the first picture once the file is open";
}

TEST(PlayerOptions, BadValuesAreRefusedNamingTheOption) {
  struct Case {
    std::vector<const char*> args;
    const char* mentions;
  };
  const Case cases[] = {
      {{"--frobnicate"}, "unknown option '--frobnicate'"},
      {{"--size", "0x0"}, "--size"},
      {{"--size", "640x"}, "--size"},
      {{"--size", "640x480x3"}, "--size"},
      {{"--window", "8x8"}, "--window"},
      {{"--fps", "-25"}, "--fps"},
      {{"--fps", "0"}, "--fps"},
      {{"--fps", "nan"}, "--fps"},
      {{"--seconds", "abc"}, "--seconds"},
      {{"--rate", "0"}, "--rate"},
      {{"--rate", "1.5"}, "--rate"},
      {{"--channels", "0"}, "--channels"},
      {{"--channels", "17"}, "--channels"},
      {{"--overlay", "yes"}, "--overlay"},
      {{"--cache"}, "--cache needs a value"},
      {{"--pull=1"}, "--pull takes no value"},
      {{"--seconds", "0.01", "--fps", "25"}, "no frame"},
      {{"--script", "1000:space,+x:q"}, "--script: script step '+x:q'"},
      {{"--script", "1000:space,2000:z"}, "names no key"},
      {{"--script", "1000"}, "wants MS:KEY"},
      {{"a.mp4", "--size", "320x200"}, "--size applies to the built-in clip"},
      {{"--overlay", "on", "a.mp4"}, "--overlay applies to the built-in clip"},
      {{"--loop"}, "--loop applies to files"},
      {{"--start", "-1", "a.mp4"}, "--start"},
      {{"a.mp4", "b.mkv", "--channels", "2"}, "--channels N tiles copies of one file"},
      {{"a.mp4", "--loop", "--rate", "-1000"}, "--loop plays forwards only"},
  };
  for (const Case& c : cases) {
    Parsed p = parse(c.args);
    EXPECT_FALSE(p.ok) << c.args[0];
    EXPECT_NE(p.error.find(c.mentions), std::string::npos) << p.error;
  }
}

}  // namespace
