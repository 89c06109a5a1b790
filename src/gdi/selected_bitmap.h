// A memory DC with a bitmap of its own selected into it, made and removed as one pair. The pair
// exists only when every step succeeded, so nothing is ever drawn into the stock bitmap that a
// new memory DC starts with. Private to the GDI renderer's sources (it names GDI types).
#pragma once

#include <cstdint>

#include "platform/win32.h"

namespace KMC {

// A memory DC compatible with reference holding a new width x height bitmap compatible with
// reference; previous is what the bitmap displaced. True when the pair exists; otherwise
// whatever was made is deleted again and dc, bitmap and previous are null.
bool createSelectedBitmap(HDC reference, int32_t width, int32_t height, HDC& dc, HBITMAP& bitmap,
                          HGDIOBJ& previous);

// The same with a DIB section described by info (32-bit BI_RGB) as the bitmap: pixels receives
// its memory, the DIB's rows in the order info gives (bottom row first for a positive height),
// which the caller writes directly; null when the pair could not be made.
bool createSelectedSection(HDC reference, const BITMAPINFO& info, uint32_t*& pixels, HDC& dc,
                           HBITMAP& bitmap, HGDIOBJ& previous);

// A 32-bit BI_RGB DIB of width x |height|: the bottom row first in memory when height is
// positive, the top row first when it is negative.
BITMAPINFO describeDIB(int32_t width, int32_t height);

// Undoes either: the displaced object goes back, then bitmap and DC are deleted. Does nothing
// but clear the three when previous is null (no pair).
void deleteSelectedBitmap(HDC& dc, HBITMAP& bitmap, HGDIOBJ& previous);

}  // namespace KMC
