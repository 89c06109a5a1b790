// The renderer's record of one channel: two memory bitmaps (picture and transparency mask)
// that receive the pixels of the channel's current frame. Both are DIB sections, so the frame's
// pixels are written straight into the bitmaps' memory, once. A scaled channel is drawn from two
// more, the frame resampled to its output size (scaled_picture.h). Private to the GDI
// renderer's sources (it names GDI types).
#pragma once

#include <cstdint>

#include "gdi/scaled_picture.h"
#include "platform/win32.h"

namespace KMC {

struct ChannelSurface {
  HDC imageDC = nullptr;
  HBITMAP imageBitmap = nullptr;
  HDC maskDC = nullptr;
  HBITMAP maskBitmap = nullptr;
  HGDIOBJ imagePrevious = nullptr;  // non-null: image DC and bitmap exist
  HGDIOBJ maskPrevious = nullptr;   // non-null: mask DC and bitmap exist (channels with alpha)
  BITMAPINFO bitmapInfo = {};       // both bitmaps, w x h, bottom-up 32-bit
  uint32_t* picturePixels = nullptr;  // the picture bitmap's memory, w x h, bottom row first
  uint32_t* maskPixels = nullptr;     // the mask bitmap's: 0xFFFFFFFF where transparent, 0 elsewhere
  bool hasTransparency = false;
  int32_t surfaceWidth = 0;         // w and h of the bitmaps (0 without bitmaps)
  int32_t surfaceHeight = 0;
  uint64_t uploads = 0;             // frames uploaded so far: what the scaled bitmaps were made of
  ScaledPicture scaled;             // the upload resampled to the output size, when scaled
};

}  // namespace KMC
