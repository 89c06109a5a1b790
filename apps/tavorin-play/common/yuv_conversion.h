// The player's fast path for the commonest decoded pictures: 8-bit 4:2:0 YUV to "BGRX" with
// libyuv, which does it faster than libswscale here (bench/player/conversion_bench) with the
// same colour matrices. Everything else goes through libswscale.
#pragma once

#include <cstdint>

struct AVFrame;

namespace play {

// Whether `picture` is 8-bit 4:2:0 (yuv420p or yuvj420p) in a colour matrix libyuv knows
// (BT.601 or unspecified, BT.709; limited or full range).
bool yuv420ConvertsWithLibyuv(const AVFrame* picture);

// Converts such a picture into 32-bit pixels whose fourth byte is 0xFF; stride in bytes.
// Answers false (nothing written) for any other picture.
bool convertYuv420ToBgrx(const AVFrame* picture, uint8_t* target, int stride);

}  // namespace play
