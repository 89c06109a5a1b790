// The drawing area of one redraw: the adapter's drawing rectangle with its inclusive sizes
// taken in 64 bits, so that edges far apart (the engine may send any four values) never
// overflow, and the test of whether a back buffer can be made for it.
#pragma once

#include <cstdint>

#include "framework/geometry.h"

namespace KMC {

struct DrawingArea {
  explicit DrawingArea(const RectInt& drawRect)
      : rect(drawRect), width(drawRect.exactWidth()), height(drawRect.exactHeight()) {}

  // Whether the area has pixels and its back buffer, one column and one row larger than the
  // area, has sides and a byte count within 32 bits, the most a GDI bitmap can take. An area
  // that is empty, inverted or too large is skipped: that redraw makes no picture.
  bool drawable() const {
    const int64_t most = INT32_MAX;
    return width > 0 && height > 0 && width < most && height < most && (width + 1) * (height + 1) <= most / 4;
  }
  // The back buffer's sides; meaningful only when drawable.
  int32_t bufferWidth() const { return static_cast<int32_t>(width + 1); }
  int32_t bufferHeight() const { return static_cast<int32_t>(height + 1); }

  RectInt rect;
  int64_t width;   // right - left + 1
  int64_t height;  // bottom - top + 1
};

}  // namespace KMC
