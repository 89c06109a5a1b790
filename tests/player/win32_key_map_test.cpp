// The Windows player's keys: what WM_KEYDOWN and WM_CHAR bring becomes the same commands the
// Linux player's keys and the script's key names give, each key by one message only.
#include <gtest/gtest.h>

#include "key_commands.h"
#include "win32_key_map.h"

namespace {

TEST(Win32Keys, EveryKeyOfTheMapComesByExactlyOneMessageAndMeansWhatItsNameMeans) {
  struct Case {
    const char* name;
    bool character;  // comes as WM_CHAR, not WM_KEYDOWN
    WPARAM code;
  };
  const Case cases[] = {{"space", false, VK_SPACE}, {"Left", false, VK_LEFT},  {"Right", false, VK_RIGHT},
                        {"Home", false, VK_HOME},   {"BackSpace", false, VK_BACK}, {"Escape", false, VK_ESCAPE},
                        {"r", false, 'R'},          {"f", false, 'F'},         {"s", false, 'S'},
                        {"q", false, 'Q'},          {"[", true, '['},          {"]", true, ']'}};
  for (const Case& c : cases) {
    play::PlayerKey byKey = play::playerKeyOfVirtualKey(c.code);
    play::PlayerKey byChar = play::playerKeyOfCharacter(c.code);
    play::PlayerKey key = c.character ? byChar : byKey;
    // The other message of the same key must not act a second time.
    EXPECT_EQ(c.character ? byKey : byChar, play::PlayerKey::kNone) << c.name;
    play::Command command = play::commandForKey(key, false), named = play::commandForName(c.name);
    EXPECT_NE(command.kind, play::CommandKind::kNone) << c.name;
    EXPECT_EQ(command.kind, named.kind) << c.name;
    EXPECT_EQ(command.amount, named.amount) << c.name;
  }
  // The characters of keys that come as virtual keys do nothing themselves.
  for (WPARAM character : {WPARAM(' '), WPARAM('r'), WPARAM('q'), WPARAM(0x08), WPARAM(0x1B)}) {
    EXPECT_EQ(play::playerKeyOfCharacter(character), play::PlayerKey::kNone) << character;
  }
  EXPECT_EQ(play::commandForKey(play::playerKeyOfVirtualKey(VK_LEFT), true).amount, -play::kLongSeekStepMs);
}

}  // namespace
