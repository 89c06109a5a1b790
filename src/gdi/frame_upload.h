// Moving a frame's pixels into a channel's picture and mask buffers.
#pragma once

#include <cstdint>

namespace KMC {

class VideoSample;

// The surface size of a frame: its picture rectangle's right - left and bottom - top when
// that rectangle is not empty, else the frame's width and height.
void frameSurfaceSize(const VideoSample* sample, int32_t* width, int32_t* height);

// Whether reading a width x height block from the frame's first pixel, rows stride pixels
// apart, stays inside the frame (height rows of |stride| pixels) and fits 32-bit sizes. A
// negative stride means the rows are stored upwards in memory from the first one.
bool frameBlockIsReadable(const VideoSample* sample, int32_t width, int32_t height);

// Every pixel copied into picture. When transparency applies and a pixel has top byte 0, mask
// is filled for the whole frame: 0xFFFFFFFF where the top byte is 0, else 0, and those
// transparent pixels get 0 in picture; otherwise mask is not written. Source row i starts
// i * stride pixels from source (stride may be negative) and goes to buffer row i when
// bottomUp, else to row height - 1 - i.
// Answers whether any pixel was transparent (always false when transparency does not apply).
bool copyFramePixels(const uint32_t* source, int32_t stride, int32_t width, int32_t height, bool bottomUp,
                     bool withTransparency, uint32_t* picture, uint32_t* mask);

}  // namespace KMC
