#include "key_commands.h"

#include <cerrno>
#include <cstdlib>

namespace play {

namespace {

Command make(CommandKind kind, int32_t amount = 0) {
  Command command;
  command.kind = kind;
  command.amount = amount;
  return command;
}

struct NamedKey {
  const char* name;
  PlayerKey key;
  bool shift;
};

const NamedKey kNames[] = {
    {"space", PlayerKey::kSpace, false},          {"Left", PlayerKey::kLeft, false},
    {"Right", PlayerKey::kRight, false},          {"shift+Left", PlayerKey::kLeft, true},
    {"shift+Right", PlayerKey::kRight, true},     {"Home", PlayerKey::kHome, false},
    {"[", PlayerKey::kBracketLeft, false},        {"]", PlayerKey::kBracketRight, false},
    {"BackSpace", PlayerKey::kBackSpace, false},  {"r", PlayerKey::kR, false},
    {"f", PlayerKey::kF, false},                  {"s", PlayerKey::kS, false},
    {"q", PlayerKey::kQ, false},                  {"Escape", PlayerKey::kEscape, false},
};

}  // namespace

Command commandForKey(PlayerKey key, bool shift) {
  switch (key) {
    case PlayerKey::kSpace: return make(CommandKind::kTogglePause);
    case PlayerKey::kLeft: return make(CommandKind::kSeekBy, shift ? -kLongSeekStepMs : -kSeekStepMs);
    case PlayerKey::kRight: return make(CommandKind::kSeekBy, shift ? kLongSeekStepMs : kSeekStepMs);
    case PlayerKey::kHome: return make(CommandKind::kSeekHome);
    case PlayerKey::kBracketLeft: return make(CommandKind::kSlower);
    case PlayerKey::kBracketRight: return make(CommandKind::kFaster);
    case PlayerKey::kBackSpace: return make(CommandKind::kNormalRate);
    case PlayerKey::kR: return make(CommandKind::kReverse);
    case PlayerKey::kF: return make(CommandKind::kFullScreen);
    case PlayerKey::kS: return make(CommandKind::kSnapshot);
    case PlayerKey::kQ: case PlayerKey::kEscape: return make(CommandKind::kQuit);
    case PlayerKey::kNone: break;
  }
  return make(CommandKind::kNone);
}

Command commandForName(const std::string& name) {
  for (const NamedKey& key : kNames) {
    if (name == key.name) return commandForKey(key.key, key.shift);
  }
  return make(CommandKind::kNone);
}

bool parseScript(const std::string& text, std::vector<ScriptStep>* steps, std::string* error) {
  steps->clear();
  size_t begin = 0;
  while (begin <= text.size()) {
    size_t end = text.find(',', begin);
    if (end == std::string::npos) end = text.size();
    std::string item = text.substr(begin, end - begin);
    size_t colon = item.find(':');
    ScriptStep step;
    std::string when = colon == std::string::npos ? "" : item.substr(0, colon);
    step.afterDelay = !when.empty() && when[0] == '+';
    if (step.afterDelay) when = when.substr(1);
    errno = 0;
    char* stop = nullptr;
    long ms = when.empty() ? -1 : std::strtol(when.c_str(), &stop, 10);
    if (colon == std::string::npos || when.empty() || errno != 0 || *stop != '\0' || ms < 0 || ms > 100000000) {
      *error = "script step '" + item + "' wants MS:KEY or +MS:KEY with MS a whole number of milliseconds";
      return false;
    }
    step.ms = static_cast<int32_t>(ms);
    step.key = item.substr(colon + 1);
    step.command = commandForName(step.key);
    if (step.command.kind == CommandKind::kNone) {
      *error = "script step '" + item + "' names no key the player knows";
      return false;
    }
    steps->push_back(step);
    begin = end + 1;
  }
  return true;
}

}  // namespace play
