// What the player's keys mean: a key (one of the player's keys and whether Shift was held)
// becomes a playback command. Key names, as a scripted run writes them, map to the same
// commands. Each platform folder maps its window system's keys to PlayerKey once
// (x11/x11_keys.h, win32/win32_keys.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace play {

enum class CommandKind {
  kNone,
  kTogglePause,  // space
  kSeekBy,       // Left / Right: amount in media milliseconds (Shift: a minute)
  kSeekHome,     // Home: the start
  kSlower,       // [: half the rate, down to an eighth
  kFaster,       // ]: twice the rate, up to eight times
  kNormalRate,   // BackSpace: normal speed, forwards
  kReverse,      // r: the other direction at the same speed
  kFullScreen,   // f: full screen and back
  kSnapshot,     // s: save the picture now
  kQuit,         // q, Escape
};

struct Command {
  CommandKind kind = CommandKind::kNone;
  int32_t amount = 0;  // kSeekBy only
};

const int32_t kSeekStepMs = 5000;
const int32_t kLongSeekStepMs = 60000;

// The keys the player answers to, whatever the window system calls them.
enum class PlayerKey {
  kNone,  // any other key
  kSpace,
  kLeft,
  kRight,
  kHome,
  kBracketLeft,
  kBracketRight,
  kBackSpace,
  kR,
  kF,
  kS,
  kQ,
  kEscape,
};

// The command of a key; kNone for kNone.
Command commandForKey(PlayerKey key, bool shift);

// The command of a key name: "space", "Left", "Right", "shift+Left", "shift+Right", "Home",
// "[", "]", "BackSpace", "r", "f", "s", "q", "Escape". kNone for any other name.
Command commandForName(const std::string& name);

// One step of a scripted run: a key at a media time (the clock stops there for it, so it
// happens at exactly that time), or a key a wall-clock delay after the previous step.
struct ScriptStep {
  bool afterDelay = false;  // true: `ms` of wall time after the previous step
  int32_t ms = 0;           // media time, or the delay
  Command command;
  std::string key;          // the key's name, for messages
};

// Parses "1000:space,+400:space,2000:Right": MS:KEY plays KEY when the media clock reaches MS,
// +MS:KEY plays it MS of wall time after the step before. False with *error on a bad step.
bool parseScript(const std::string& text, std::vector<ScriptStep>* steps, std::string* error);

}  // namespace play
