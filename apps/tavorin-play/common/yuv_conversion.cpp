#include "yuv_conversion.h"

#include <libyuv/convert_argb.h>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

namespace play {

namespace {

// libyuv's constants for the picture's matrix and range, as libswscale reads them (an
// unspecified matrix is BT.601), or null for one libyuv does not have.
const libyuv::YuvConstants* constantsFor(const AVFrame* picture) {
  const bool full = picture->color_range == AVCOL_RANGE_JPEG || picture->format == AV_PIX_FMT_YUVJ420P;
  switch (picture->colorspace) {
    case AVCOL_SPC_UNSPECIFIED:
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
      return full ? &libyuv::kYuvJPEGConstants : &libyuv::kYuvI601Constants;
    case AVCOL_SPC_BT709:
      return full ? &libyuv::kYuvF709Constants : &libyuv::kYuvH709Constants;
    default:
      return nullptr;
  }
}

}  // namespace

bool yuv420ConvertsWithLibyuv(const AVFrame* picture) {
  return (picture->format == AV_PIX_FMT_YUV420P || picture->format == AV_PIX_FMT_YUVJ420P) &&
         constantsFor(picture) != nullptr;
}

bool convertYuv420ToBgrx(const AVFrame* picture, uint8_t* target, int stride) {
  if (!yuv420ConvertsWithLibyuv(picture)) return false;
  const libyuv::YuvConstants* constants = constantsFor(picture);
  // libyuv's "ARGB" is B, G, R, A in memory: the plug-in's "BGRX" with an opaque fourth byte.
  return libyuv::I420ToARGBMatrix(picture->data[0], picture->linesize[0], picture->data[1], picture->linesize[1],
                                  picture->data[2], picture->linesize[2], target, stride, constants, picture->width,
                                  picture->height) == 0;
}

}  // namespace play
