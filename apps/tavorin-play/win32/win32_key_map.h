#ifndef _WIN32
#error "the Win32 player's keys"
#endif
// The Windows keys the player answers to, mapped once: most by their virtual key in
// WM_KEYDOWN, the brackets by the character WM_CHAR brings (where they sit on the keyboard
// depends on its layout).
#pragma once

#include <windows.h>

#include "key_commands.h"

namespace play {

// The player's key of a WM_KEYDOWN's virtual key; kNone for keys that come as characters.
PlayerKey playerKeyOfVirtualKey(WPARAM virtualKey);
// The player's key of a WM_CHAR's character ('[' and ']'); kNone for every other one.
PlayerKey playerKeyOfCharacter(WPARAM character);

}  // namespace play
