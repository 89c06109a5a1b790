// The player's command line: what to play, how fast, where, and what to keep at the end.
#pragma once

#include <string>

namespace play {

struct PlayerOptions {
  int frameWidth = 640;          // --size WxH: the clip's frame size
  int frameHeight = 360;
  int windowWidth = 0;           // --window WxH: 0 = the frame size
  int windowHeight = 0;
  double fps = 30.0;             // --fps
  double seconds = 5.0;          // --seconds: clip length
  int rate = 1000;               // --rate: thousandths of normal speed, negative = backwards
  int channels = 1;              // --channels: picture channels, tiled
  bool overlay = true;           // --overlay on|off
  bool pull = false;             // --pull: channels pull frames instead of being pushed to
  bool formatCache = false;      // --cache on|off: the engine's format cache setting
  std::string snapshotPath;      // --snapshot FILE.png
  std::string pluginPath;        // --plugin FILE: empty = the build's plug-in
  bool help = false;             // --help
};

// Parses argv[1..argc-1]. Answers true with *out filled, or false with *error saying which
// argument is wrong and why.
bool parseOptions(int argc, const char* const* argv, PlayerOptions* out, std::string* error);

// The --help text.
std::string usageText();

}  // namespace play
