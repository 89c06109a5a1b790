// The player's command line: what to play, how fast, where, and what to keep at the end.
#pragma once

#include <string>
#include <vector>

#include "key_commands.h"

namespace play {

struct PlayerOptions {
  int frameWidth = 640;          // --size WxH: the clip's frame size
  int frameHeight = 360;
  int windowWidth = 0;           // --window WxH: 0 = the frame size
  int windowHeight = 0;
  double fps = 30.0;             // --fps
  double seconds = 5.0;          // --seconds: clip length; with files, stop after that much media time
  bool secondsGiven = false;
  int rate = 1000;               // --rate: thousandths of normal speed, negative = backwards
  int channels = 1;              // --channels: picture channels (copies of one file), tiled
  bool overlay = true;           // --overlay on|off
  bool pull = false;             // --pull: channels pull frames instead of being pushed to
  bool formatCache = false;      // --cache on|off: the engine's format cache setting
  std::string snapshotPath;      // --snapshot FILE.png
  std::string timingPath;        // --timing FILE.png: the run's timing as a picture
  std::string scriptText;        // --script STEPS: keys at media times (reproducible runs)
  std::vector<ScriptStep> script;
  std::string pluginPath;        // --plugin FILE: empty = the build's plug-in
  bool help = false;             // --help
  // Files to play instead of the built-in clip, one stream each.
  std::vector<std::string> files;
  double startSeconds = 0;       // --start T: seek the files to T seconds first
  bool loop = false;             // --loop: files start again at their end
  bool stack = false;            // --stack: files cover the whole window, later ones on top
  int decodeThreads = 1;         // --decode-threads N: FFmpeg's threads per file; 0 = its choice
};

// Parses argv[1..argc-1]. Answers true with *out filled, or false with *error saying which
// argument is wrong and why.
bool parseOptions(int argc, const char* const* argv, PlayerOptions* out, std::string* error);

// The --help text.
std::string usageText();

}  // namespace play
