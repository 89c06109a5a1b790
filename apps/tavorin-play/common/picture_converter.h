// Converts decoded pictures with libswscale (or libyuv where the build has it, for 8-bit
// 4:2:0: yuv_conversion.h) into the plug-in's 32-bit frames: "BGRA" for
// sources with an alpha channel, "BGRX" otherwise. The frame keeps the decoder's geometry (its
// whole picture, odd sizes included) with rows as far apart as FFmpeg pads its own 32-bit
// pictures, so the plug-in sees the strides a real engine sends.
#pragma once

#include <cstdint>

#include "frame_pool.h"

struct AVFrame;
struct SwsContext;

namespace play {

class PictureConverter {
 public:
  explicit PictureConverter(bool alpha) : alpha_(alpha) {}
  ~PictureConverter();
  PictureConverter(const PictureConverter&) = delete;
  PictureConverter& operator=(const PictureConverter&) = delete;

  // A pool frame holding picture, timed start/duration, or null when the picture cannot be
  // converted (no size, or a pixel format libswscale does not read). A picture of another
  // size or format than the last one is converted at its own size.
  PooledFrame* convert(const AVFrame* picture, FramePool* pool, int32_t start, uint32_t duration);

  // Row distance in pixels FFmpeg gives a 32-bit picture width pixels wide.
  static int32_t paddedStride(int32_t width);

 private:
  bool alpha_;
  SwsContext* context_ = nullptr;
};

}  // namespace play
