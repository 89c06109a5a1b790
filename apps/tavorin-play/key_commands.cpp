#include "key_commands.h"

#include <X11/keysym.h>

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
  unsigned long keysym;
  bool shift;
};

const NamedKey kNames[] = {
    {"space", XK_space, false},         {"Left", XK_Left, false},      {"Right", XK_Right, false},
    {"shift+Left", XK_Left, true},      {"shift+Right", XK_Right, true}, {"Home", XK_Home, false},
    {"[", XK_bracketleft, false},       {"]", XK_bracketright, false}, {"BackSpace", XK_BackSpace, false},
    {"r", XK_r, false},                 {"f", XK_f, false},            {"s", XK_s, false},
    {"q", XK_q, false},                 {"Escape", XK_Escape, false},
};

}  // namespace

Command commandForKey(unsigned long keysym, bool shift) {
  switch (keysym) {
    case XK_space: return make(CommandKind::kTogglePause);
    case XK_Left: case XK_KP_Left: return make(CommandKind::kSeekBy, shift ? -kLongSeekStepMs : -kSeekStepMs);
    case XK_Right: case XK_KP_Right: return make(CommandKind::kSeekBy, shift ? kLongSeekStepMs : kSeekStepMs);
    case XK_Home: case XK_KP_Home: return make(CommandKind::kSeekHome);
    case XK_bracketleft: return make(CommandKind::kSlower);
    case XK_bracketright: return make(CommandKind::kFaster);
    case XK_BackSpace: return make(CommandKind::kNormalRate);
    case XK_r: case XK_R: return make(CommandKind::kReverse);
    case XK_f: case XK_F: return make(CommandKind::kFullScreen);
    case XK_s: case XK_S: return make(CommandKind::kSnapshot);
    case XK_q: case XK_Q: case XK_Escape: return make(CommandKind::kQuit);
    default: return make(CommandKind::kNone);
  }
}

Command commandForName(const std::string& name) {
  for (const NamedKey& key : kNames) {
    if (name == key.name) return commandForKey(key.keysym, key.shift);
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
