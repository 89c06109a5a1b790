// The renderer's record of one channel: two memory bitmaps (picture and transparency mask)
// that receive the pixels of the channel's current frame. Private to the GDI renderer's
// sources (it names GDI types).
#pragma once

#include <cstdint>

#include "platform/win32.h"

namespace KMC {

struct ChannelSurface {
  HDC imageDC = nullptr;
  HBITMAP imageBitmap = nullptr;
  HDC maskDC = nullptr;
  HBITMAP maskBitmap = nullptr;
  HGDIOBJ imagePrevious = nullptr;  // non-null: image DC and bitmap exist
  HGDIOBJ maskPrevious = nullptr;   // non-null: mask DC and bitmap exist
  BITMAPINFO bitmapInfo = {};       // both buffers, w x h, bottom-up 32-bit
  uint32_t* picturePixels = nullptr;  // w x h, malloc/free
  uint32_t* maskPixels = nullptr;     // 0xFFFFFFFF where transparent, 0 elsewhere
  bool hasTransparency = false;
  int32_t surfaceWidth = 0;         // w and h of the current buffers
  int32_t surfaceHeight = 0;
};

}  // namespace KMC
