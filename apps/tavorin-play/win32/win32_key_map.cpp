#include "win32_key_map.h"

namespace play {

PlayerKey playerKeyOfVirtualKey(WPARAM virtualKey) {
  switch (virtualKey) {
    case VK_SPACE: return PlayerKey::kSpace;
    case VK_LEFT: return PlayerKey::kLeft;
    case VK_RIGHT: return PlayerKey::kRight;
    case VK_HOME: return PlayerKey::kHome;
    case VK_BACK: return PlayerKey::kBackSpace;
    case VK_ESCAPE: return PlayerKey::kEscape;
    case 'R': return PlayerKey::kR;
    case 'F': return PlayerKey::kF;
    case 'S': return PlayerKey::kS;
    case 'Q': return PlayerKey::kQ;
    default: return PlayerKey::kNone;
  }
}

PlayerKey playerKeyOfCharacter(WPARAM character) {
  switch (character) {
    case '[': return PlayerKey::kBracketLeft;
    case ']': return PlayerKey::kBracketRight;
    default: return PlayerKey::kNone;
  }
}

}  // namespace play
