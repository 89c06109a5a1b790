// Counting drawings into the engine's windows on Windows.
//
// GDI does not tell when something was drawn into a window. The engine stand-in counts the
// drawing calls itself: modules that draw (the loaded plug-in, and the program itself) get
// their imports of the drawing calls (BitBlt, StretchBlt, PatBlt, MaskBlt, SetDIBitsToDevice,
// StretchDIBits, FillRect) pointed at wrappers, and each call that succeeds on a DC of a
// registered window counts one drawing.
#pragma once

#include <windows.h>

#include <cstdint>

namespace host {
namespace windows {

// Points module's imports of the drawing calls at the counting wrappers (once per module).
void countDrawingsOf(HMODULE module);
// Windows whose drawings are counted; unregister before the window goes.
void registerWindow(HWND window);
void unregisterWindow(HWND window);
// Drawings into window so far (0 for an unregistered one).
uint32_t drawingsInto(HWND window);
// FillRect itself, bypassing the counting: for the engine's own clearing of its windows.
int fillRectUncounted(HDC dc, const RECT* area, HBRUSH brush);

}  // namespace windows
}  // namespace host
