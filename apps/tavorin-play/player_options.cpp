#include "player_options.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace play {

namespace {

const int kMinSide = 16;
const int kMaxSide = 8192;
const int kMaxChannels = 16;
const int kMaxRate = 16000;  // the plug-in's lateness tolerance grows with the rate; keep it sane

bool parseInt(const std::string& text, long* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return false;
  *out = value;
  return true;
}

bool parseNumber(const std::string& text, double* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(value)) return false;
  *out = value;
  return true;
}

// "WxH" with both sides in [kMinSide, kMaxSide].
bool parseSize(const std::string& text, int* width, int* height) {
  size_t x = text.find('x');
  if (x == std::string::npos) return false;
  long w = 0, h = 0;
  if (!parseInt(text.substr(0, x), &w) || !parseInt(text.substr(x + 1), &h)) return false;
  if (w < kMinSide || h < kMinSide || w > kMaxSide || h > kMaxSide) return false;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

bool parseSwitch(const std::string& text, bool* out) {
  if (text == "on") { *out = true; return true; }
  if (text == "off") { *out = false; return true; }
  return false;
}

}  // namespace

std::string usageText() {
  return "usage: tavorin-play [options] [FILE...]\n"
         "Plays the files given (each one a stream, decoded with FFmpeg), or else a built-in clip.\n"
         "  --size WxH        frame size of the built-in clip (default 640x360, sides 16..8192)\n"
         "  --window WxH      window size (default: the frame size)\n"
         "  --fps N           frames per second (default 30, up to 240)\n"
         "  --seconds N       clip length in seconds (default 5)\n"
         "  --rate N          speed in thousandths, negative plays backwards (default 1000)\n"
         "  --channels N      number of picture channels, tiled (default 1, up to 16)\n"
         "  --overlay on|off  a transparent overlay channel on top (default on)\n"
         "  --pull            channels pull their frames instead of being pushed to\n"
         "  --cache on|off    the engine's format cache setting (default off)\n"
         "  --snapshot FILE   write the window's last picture as PNG\n"
         "  --plugin FILE     the plug-in library (default: the build's libtavorin.so)\n"
         "  --start T         files: start T seconds in\n"
         "  --loop            files: start again at the end (stop with --seconds or Ctrl-C)\n"
         "  --stack           files: each covers the whole window, later files on top\n"
         "  --decode-threads N  files: FFmpeg's decoding threads per file (default 1; 0: its choice)\n"
         "  --help            this text\n"
         "With files, --seconds stops after that much media time, --channels N tiles N copies of one\n"
         "file, and --size, --fps and --overlay do not apply.\n"
         "The window is an X11 window when DISPLAY is set, an off-screen surface otherwise.\n";
}

bool parseOptions(int argc, const char* const* argv, PlayerOptions* out, std::string* error) {
  PlayerOptions options;
  bool windowGiven = false;
  std::vector<std::string> clipOnly;  // options given that only the built-in clip takes
  std::vector<std::string> filesOnly;
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    if (name.empty() || name[0] != '-' || name == "-") {
      options.files.push_back(name);
      continue;
    }
    std::string value;
    size_t equals = name.find('=');
    bool inlineValue = name.compare(0, 2, "--") == 0 && equals != std::string::npos;
    if (inlineValue) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    static const char* const kKnown[] = {"--size", "--window", "--fps", "--seconds", "--rate", "--channels",
                                         "--overlay", "--cache", "--snapshot", "--plugin", "--pull", "--help", "-h",
                                         "--start", "--loop", "--stack", "--decode-threads"};
    if (std::find(std::begin(kKnown), std::end(kKnown), name) == std::end(kKnown)) {
      *error = "unknown option '" + name + "'";
      return false;
    }
    bool takesValue = name != "--pull" && name != "--help" && name != "-h" && name != "--loop" && name != "--stack";
    if (name == "--size" || name == "--fps" || name == "--overlay") clipOnly.push_back(name);
    if (name == "--start" || name == "--loop" || name == "--stack" || name == "--decode-threads") filesOnly.push_back(name);
    if (takesValue && !inlineValue) {
      if (i + 1 >= argc) {
        *error = name + " needs a value";
        return false;
      }
      value = argv[++i];
    } else if (!takesValue && inlineValue) {
      *error = name + " takes no value";
      return false;
    }
    double number = 0;
    long integer = 0;
    if (name == "--size") {
      if (!parseSize(value, &options.frameWidth, &options.frameHeight)) {
        *error = "--size wants WxH with sides from 16 to 8192, not '" + value + "'";
        return false;
      }
    } else if (name == "--window") {
      if (!parseSize(value, &options.windowWidth, &options.windowHeight)) {
        *error = "--window wants WxH with sides from 16 to 8192, not '" + value + "'";
        return false;
      }
      windowGiven = true;
    } else if (name == "--fps") {
      if (!parseNumber(value, &number) || number <= 0 || number > 240) {
        *error = "--fps wants a number above 0 and at most 240, not '" + value + "'";
        return false;
      }
      options.fps = number;
    } else if (name == "--seconds") {
      if (!parseNumber(value, &number) || number <= 0 || number > 3600) {
        *error = "--seconds wants a number above 0 and at most 3600, not '" + value + "'";
        return false;
      }
      options.seconds = number;
      options.secondsGiven = true;
    } else if (name == "--rate") {
      if (!parseInt(value, &integer) || integer == 0 || integer > kMaxRate || integer < -kMaxRate) {
        *error = "--rate wants a non-zero integer from -16000 to 16000 (thousandths), not '" + value + "'";
        return false;
      }
      options.rate = static_cast<int>(integer);
    } else if (name == "--channels") {
      if (!parseInt(value, &integer) || integer < 1 || integer > kMaxChannels) {
        *error = "--channels wants an integer from 1 to 16, not '" + value + "'";
        return false;
      }
      options.channels = static_cast<int>(integer);
    } else if (name == "--overlay") {
      if (!parseSwitch(value, &options.overlay)) {
        *error = "--overlay wants on or off, not '" + value + "'";
        return false;
      }
    } else if (name == "--cache") {
      if (!parseSwitch(value, &options.formatCache)) {
        *error = "--cache wants on or off, not '" + value + "'";
        return false;
      }
    } else if (name == "--pull") {
      options.pull = true;
    } else if (name == "--loop") {
      options.loop = true;
    } else if (name == "--stack") {
      options.stack = true;
    } else if (name == "--start") {
      if (!parseNumber(value, &number) || number < 0 || number > 1e6) {
        *error = "--start wants seconds from 0 to 1000000, not '" + value + "'";
        return false;
      }
      options.startSeconds = number;
    } else if (name == "--decode-threads") {
      if (!parseInt(value, &integer) || integer < 0 || integer > 64) {
        *error = "--decode-threads wants an integer from 0 to 64, not '" + value + "'";
        return false;
      }
      options.decodeThreads = static_cast<int>(integer);
    } else if (name == "--snapshot") {
      if (value.empty()) {
        *error = "--snapshot wants a file name";
        return false;
      }
      options.snapshotPath = value;
    } else if (name == "--plugin") {
      if (value.empty()) {
        *error = "--plugin wants a file name";
        return false;
      }
      options.pluginPath = value;
    } else {  // --help, -h
      options.help = true;
    }
  }
  if (!options.files.empty() && !clipOnly.empty()) {
    *error = clipOnly.front() + " applies to the built-in clip, not to files";
    return false;
  }
  if (options.files.empty() && !filesOnly.empty()) {
    *error = filesOnly.front() + " applies to files; give a file to play";
    return false;
  }
  if (options.files.size() > 1 && options.channels > 1) {
    *error = "--channels N tiles copies of one file; several files are already one channel each";
    return false;
  }
  if (options.files.size() > static_cast<size_t>(kMaxChannels)) {
    *error = "at most 16 files play at once";
    return false;
  }
  if (options.loop && options.rate < 0) {
    *error = "--loop plays forwards only";
    return false;
  }
  if (!options.files.empty()) {
    // A file's window follows its picture size unless --window says otherwise.
    if (!windowGiven) options.windowWidth = options.windowHeight = 0;
    *out = options;
    return true;
  }
  if (!windowGiven) {
    options.windowWidth = options.frameWidth;
    options.windowHeight = options.frameHeight;
  }
  // Every clip has at least one frame.
  if (options.fps * options.seconds < 1.0) {
    *error = "--seconds times --fps gives no frame; play at least one frame";
    return false;
  }
  *out = options;
  return true;
}

}  // namespace play
