// The X11 keys the player answers to: an X keysym (unshifted) becomes a PlayerKey.
#pragma once

#include "key_commands.h"

namespace play {

PlayerKey playerKeyOfKeysym(unsigned long keysym);

}  // namespace play
