// Exact 2:1 box averaging of 32-bit pixels, the shrinking step of HALFTONE stretching.
#pragma once

#include <cstddef>
#include <cstdint>

namespace resample {

// Length of an axis after halving: an odd last pixel makes a pixel of its own.
inline int halvedLength(int length) { return (length + 1) / 2; }

// Writes `from` (width x height, stride in pixels) halved on the chosen axes into `to`, whose
// rows are packed (halvedLength(width) or width pixels). Each new pixel is the mean of the 2
// (one axis) or 2 x 2 source pixels it covers, every byte on its own, rounded half up; an odd
// last column or row covers its one pixel twice.
void halvePicture(const uint32_t* from, ptrdiff_t stride, int width, int height, bool halveX,
                  bool halveY, uint32_t* to);

}  // namespace resample
