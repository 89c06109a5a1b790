#ifdef _WIN32
#error "the Linux player's X11 and platform parts"
#endif
#include "x11_key_map.h"

#include <X11/keysym.h>

namespace play {

PlayerKey playerKeyOfKeysym(unsigned long keysym) {
  switch (keysym) {
    case XK_space: return PlayerKey::kSpace;
    case XK_Left: case XK_KP_Left: return PlayerKey::kLeft;
    case XK_Right: case XK_KP_Right: return PlayerKey::kRight;
    case XK_Home: case XK_KP_Home: return PlayerKey::kHome;
    case XK_bracketleft: return PlayerKey::kBracketLeft;
    case XK_bracketright: return PlayerKey::kBracketRight;
    case XK_BackSpace: return PlayerKey::kBackSpace;
    case XK_r: case XK_R: return PlayerKey::kR;
    case XK_f: case XK_F: return PlayerKey::kF;
    case XK_s: case XK_S: return PlayerKey::kS;
    case XK_q: case XK_Q: return PlayerKey::kQ;
    case XK_Escape: return PlayerKey::kEscape;
    default: return PlayerKey::kNone;
  }
}

}  // namespace play
