// The renderer's record of one channel: two memory bitmaps (picture and transparency mask)
// that receive the pixels of the channel's current frame. Both are DIB sections, so the frame's
// pixels are written straight into the bitmaps' memory, once. A scaled channel is drawn from two
// more, the frame resampled to its output size (scaled_picture.h). Private to the GDI
// renderer's sources (it names GDI types).
#pragma once

#include <cstdint>

#include "gdi/blit_geometry.h"
#include "gdi/memory_dc.h"
#include "gdi/scaled_picture.h"
#include "platform/win32.h"

namespace KMC {

struct ChannelSurface {
  // Bitmaps for a frame of width x height, and a mask too when withMask (a channel with alpha).
  // The ones held serve a frame of the same size, since an upload rewrites every pixel drawn
  // from them, so a steady stream makes no bitmap here. A channel gets all its bitmaps or none:
  // false when they cannot be made, and then nothing is held.
  bool prepare(HDC reference, int32_t width, int32_t height, bool withMask);
  // The bitmaps go, and with them the memory the pixels were written to.
  void release();
  // The frame's pixels (null: none to show) written into the bitmaps in one pass, rows stride
  // pixels apart, source row 0 the picture's bottom row when bottomUp; the mask only where the
  // frame has a transparent pixel. Counts the upload either way.
  void upload(const uint32_t* pixels, int32_t stride, bool bottomUp);
  // Draws the bitmaps unscaled into back: with transparency, the mask is ANDed in first
  // (clearing what the picture covers) and the picture ORed over it; without, one copy.
  void blit(HDC back, const BlitRect& to, const BlitRect& from) const;
  bool exists() const { return image.exists(); }

  MemoryDC image;                   // w x h, bottom-up 32-bit
  MemoryDC mask;                    // the same; 0xFFFFFFFF where transparent, 0 elsewhere
  BITMAPINFO bitmapInfo = {};       // both bitmaps'
  bool hasTransparency = false;     // the last upload had a transparent pixel
  int32_t surfaceWidth = 0;         // w and h of the bitmaps (0 without bitmaps)
  int32_t surfaceHeight = 0;
  uint64_t uploads = 0;             // frames uploaded so far: what the scaled bitmaps were made of
  ScaledPicture scaled;             // the upload resampled to the output size, when scaled
};

}  // namespace KMC
