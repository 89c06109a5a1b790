#include "player_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "player_window.h"

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

// What an option's value is.
enum class ValueKind {
  kNone,     // a flag: the option alone
  kSize,     // WxH, both sides in [kMinSide, kMaxSide]
  kNumber,   // a finite decimal number within the option's range
  kInteger,  // a decimal integer within the option's range
  kSwitch,   // on or off
  kText,     // any text but the empty one
};

// Which plays an option applies to: a clip option given with files (or the other way round)
// is refused rather than ignored.
enum class Scope { kBoth, kClipOnly, kFilesOnly };

// A value as parsed for its kind; the option's target takes the part that kind fills.
struct OptionValue {
  std::string text;
  double number = 0;
  long integer = 0;
  int width = 0, height = 0;
  bool on = false;
};

// The range of a number or integer: [least, most], without least itself when aboveLeast, and
// without 0 when nonZero.
struct Range {
  double least, most;
  bool aboveLeast, nonZero;
};

struct OptionEntry {
  const char* name;
  ValueKind kind;
  Range range;
  Scope scope;
  const char* wanted;  // the error's "wants ..." for a value that does not fit
  void (*store)(PlayerOptions& options, const OptionValue& value);
};

constexpr Range between(double least, double most) { return Range{least, most, false, false}; }
constexpr Range above(double least, double most) { return Range{least, most, true, false}; }
constexpr Range nonZeroBetween(double least, double most) {
  return Range{least, most, false, true};
}
const Range kAny = between(0, 0);  // for the kinds without a range

const OptionEntry kOptions[] = {
    {"--size", ValueKind::kSize, kAny, Scope::kClipOnly, "WxH with sides from 16 to 8192",
     [](PlayerOptions& o, const OptionValue& v) {
       o.frameWidth = v.width;
       o.frameHeight = v.height;
     }},
    {"--window", ValueKind::kSize, kAny, Scope::kBoth, "WxH with sides from 16 to 8192",
     [](PlayerOptions& o, const OptionValue& v) {
       o.windowWidth = v.width;
       o.windowHeight = v.height;
     }},
    {"--fps", ValueKind::kNumber, above(0, 240), Scope::kClipOnly,
     "a number above 0 and at most 240",
     [](PlayerOptions& o, const OptionValue& v) { o.fps = v.number; }},
    {"--seconds", ValueKind::kNumber, above(0, 3600), Scope::kBoth,
     "a number above 0 and at most 3600",
     [](PlayerOptions& o, const OptionValue& v) {
       o.seconds = v.number;
       o.secondsGiven = true;
     }},
    {"--rate", ValueKind::kInteger, nonZeroBetween(-kMaxRate, kMaxRate), Scope::kBoth,
     "a non-zero integer from -16000 to 16000 (thousandths)",
     [](PlayerOptions& o, const OptionValue& v) { o.rate = static_cast<int>(v.integer); }},
    {"--channels", ValueKind::kInteger, between(1, kMaxChannels), Scope::kBoth,
     "an integer from 1 to 16",
     [](PlayerOptions& o, const OptionValue& v) { o.channels = static_cast<int>(v.integer); }},
    {"--overlay", ValueKind::kSwitch, kAny, Scope::kClipOnly, "on or off",
     [](PlayerOptions& o, const OptionValue& v) { o.overlay = v.on; }},
    {"--cache", ValueKind::kSwitch, kAny, Scope::kBoth, "on or off",
     [](PlayerOptions& o, const OptionValue& v) { o.formatCache = v.on; }},
    {"--snapshot", ValueKind::kText, kAny, Scope::kBoth, "a file name",
     [](PlayerOptions& o, const OptionValue& v) { o.snapshotPath = v.text; }},
    {"--timing", ValueKind::kText, kAny, Scope::kBoth, "a file name",
     [](PlayerOptions& o, const OptionValue& v) { o.timingPath = v.text; }},
    {"--script", ValueKind::kText, kAny, Scope::kBoth, "steps MS:KEY or +MS:KEY separated by commas",
     [](PlayerOptions& o, const OptionValue& v) { o.scriptText = v.text; }},
    {"--plugin", ValueKind::kText, kAny, Scope::kBoth, "a file name",
     [](PlayerOptions& o, const OptionValue& v) { o.pluginPath = v.text; }},
    {"--pull", ValueKind::kNone, kAny, Scope::kBoth, "",
     [](PlayerOptions& o, const OptionValue&) { o.pull = true; }},
    {"--help", ValueKind::kNone, kAny, Scope::kBoth, "",
     [](PlayerOptions& o, const OptionValue&) { o.help = true; }},
    {"-h", ValueKind::kNone, kAny, Scope::kBoth, "",
     [](PlayerOptions& o, const OptionValue&) { o.help = true; }},
    {"--start", ValueKind::kNumber, between(0, 1e6), Scope::kFilesOnly, "seconds from 0 to 1000000",
     [](PlayerOptions& o, const OptionValue& v) { o.startSeconds = v.number; }},
    {"--loop", ValueKind::kNone, kAny, Scope::kFilesOnly, "",
     [](PlayerOptions& o, const OptionValue&) { o.loop = true; }},
    {"--stack", ValueKind::kNone, kAny, Scope::kFilesOnly, "",
     [](PlayerOptions& o, const OptionValue&) { o.stack = true; }},
    {"--decode-threads", ValueKind::kInteger, between(0, 64), Scope::kFilesOnly,
     "an integer from 0 to 64",
     [](PlayerOptions& o, const OptionValue& v) { o.decodeThreads = static_cast<int>(v.integer); }},
};

const OptionEntry* findOption(const std::string& name) {
  for (const OptionEntry& entry : kOptions) {
    if (name == entry.name) return &entry;
  }
  return nullptr;
}

bool inRange(double value, const Range& range) {
  if (range.aboveLeast ? value <= range.least : value < range.least) return false;
  if (range.nonZero && value == 0) return false;
  return value <= range.most;
}

// Parses `text` as the option's kind and range into *value. False when it does not fit.
bool parseValue(const OptionEntry& entry, const std::string& text, OptionValue* value) {
  value->text = text;
  switch (entry.kind) {
    case ValueKind::kNone:
      return true;
    case ValueKind::kSize:
      return parseSize(text, &value->width, &value->height);
    case ValueKind::kNumber:
      return parseNumber(text, &value->number) && inRange(value->number, entry.range);
    case ValueKind::kInteger:
      return parseInt(text, &value->integer) &&
             inRange(static_cast<double>(value->integer), entry.range);
    case ValueKind::kSwitch:
      return parseSwitch(text, &value->on);
    case ValueKind::kText:
      return !text.empty();
  }
  return false;
}

}  // namespace

std::string usageText() {
  return std::string("usage: tavorin-play [options] [FILE...]\n"
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
         "  --snapshot FILE   write the window's last picture as PNG (key s: FILE-1.png, ...)\n"
         ) + platform::timingOptionHelp() + std::string(
         "  --script STEPS    press keys by script: 1000:space,+500:space,2000:Right presses space\n"
         "                    at media time 1000 ms, again 500 ms of wall time later, Right at 2000\n"
         ) + platform::pluginOptionHelp() + std::string(
         "  --start T         files: start T seconds in\n"
         "  --loop            files: start again at the end (stop with --seconds or Ctrl-C)\n"
         "  --stack           files: each covers the whole window, later files on top\n"
         "  --decode-threads N  files: FFmpeg's decoding threads per file (default 1; 0: its choice)\n"
         "  --help            this text\n"
         "With files, --seconds stops after that much media time, --channels N tiles N copies of one\n"
         "file, and --size, --fps and --overlay do not apply.\n"
         ) + platform::windowHelp() + std::string(
         "Keys in the window: space pause; Left/Right seek 5 s (Shift: 60 s); Home the start;\n"
         "[ ] half and double the rate (1/8x to 8x); BackSpace normal rate; r reverse;\n"
         "f full screen; s snapshot; q or Escape quit.\n");
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
    std::string text;
    size_t equals = name.find('=');
    bool inlineValue = name.compare(0, 2, "--") == 0 && equals != std::string::npos;
    if (inlineValue) {
      text = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    const OptionEntry* entry = findOption(name);
    if (!entry) {
      *error = "unknown option '" + name + "'";
      return false;
    }
    const bool takesValue = entry->kind != ValueKind::kNone;
    if (entry->scope == Scope::kClipOnly) clipOnly.push_back(name);
    if (entry->scope == Scope::kFilesOnly) filesOnly.push_back(name);
    if (takesValue && !inlineValue) {
      if (i + 1 >= argc) {
        *error = name + " needs a value";
        return false;
      }
      text = argv[++i];
    } else if (!takesValue && inlineValue) {
      *error = name + " takes no value";
      return false;
    }
    OptionValue value;
    if (!parseValue(*entry, text, &value)) {
      *error = name + " wants " + entry->wanted;
      if (entry->kind != ValueKind::kText) *error += ", not '" + text + "'";
      return false;
    }
    entry->store(options, value);
    if (name == "--window") windowGiven = true;
  }
  if (!options.timingPath.empty() && platform::timingRefusal()) {
    *error = std::string("--timing: ") + platform::timingRefusal();
    return false;
  }
  if (!options.scriptText.empty() && !parseScript(options.scriptText, &options.script, error)) {
    *error = "--script: " + *error;
    return false;
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
