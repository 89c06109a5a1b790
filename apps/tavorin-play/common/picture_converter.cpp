#include "picture_converter.h"

#if TAVORIN_PLAY_HAVE_LIBYUV
#include "yuv_conversion.h"
#endif

extern "C" {
#include <libavutil/cpu.h>
#include <libavutil/frame.h>
#include <libavutil/macros.h>
#include <libswscale/swscale.h>
}

#include "engine/engine_values.h"

namespace play {

PictureConverter::~PictureConverter() { sws_freeContext(context_); }

int32_t PictureConverter::paddedStride(int32_t width) {
  int align = static_cast<int>(av_cpu_max_align());
  return FFALIGN(width * 4, align) / 4;
}

PooledFrame* PictureConverter::convert(const AVFrame* picture, FramePool* pool, int32_t start, uint32_t duration) {
  const int width = picture->width, height = picture->height;
  if (width <= 0 || height <= 0 || picture->format < 0) return nullptr;
  AVPixelFormat from = static_cast<AVPixelFormat>(picture->format);
  AVPixelFormat to = alpha_ ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR0;
  int32_t stride = paddedStride(width);
#if TAVORIN_PLAY_HAVE_LIBYUV
  if (!alpha_ && yuv420ConvertsWithLibyuv(picture)) {
    PooledFrame* frame = pool->make(start, duration, width, height, stride);
    frame->picture = host::rectInt(0, 0, width, height);  // the whole decoded picture
    convertYuv420ToBgrx(picture, reinterpret_cast<uint8_t*>(frame->data()), stride * 4);
    return frame;
  }
#endif
  context_ = sws_getCachedContext(context_, width, height, from, width, height, to, SWS_BILINEAR, nullptr, nullptr,
                                  nullptr);
  if (!context_) return nullptr;
  // Limited or full range and the picture's own colour matrix, as FFmpeg's own tools read it.
  int matrix = picture->colorspace != AVCOL_SPC_UNSPECIFIED ? picture->colorspace : SWS_CS_DEFAULT;
  const int* coefficients = sws_getCoefficients(matrix);
  sws_setColorspaceDetails(context_, coefficients, picture->color_range == AVCOL_RANGE_JPEG ? 1 : 0, coefficients, 1,
                           0, 1 << 16, 1 << 16);

  PooledFrame* frame = pool->make(start, duration, width, height, stride);
  frame->picture = host::rectInt(0, 0, width, height);  // the whole decoded picture
  uint8_t* target[4] = {reinterpret_cast<uint8_t*>(frame->data()), nullptr, nullptr, nullptr};
  int targetStride[4] = {stride * 4, 0, 0, 0};
  sws_scale(context_, picture->data, picture->linesize, 0, height, target, targetStride);
  return frame;
}

}  // namespace play
