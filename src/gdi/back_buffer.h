// The picture of one redraw: a memory bitmap one column and one row larger than the drawing
// area, made black when the redraw begins, drawn into by every channel and copied into the
// window when it ends. Made anew for every redraw, so a change of the area's size needs no
// other step. Private to the GDI renderer's sources (it names GDI types).
#pragma once

#include <cstdint>

#include "gdi/memory_dc.h"
#include "platform/win32.h"

namespace KMC {

struct DrawingArea;

class BackBuffer {
 public:
  // A black buffer compatible with window for area (which must be drawable), in HALFTONE
  // mode. False when it cannot be made: that redraw then makes no picture.
  bool begin(HDC window, const DrawingArea& area, HBRUSH black);
  // Copies exactly the area into window at the area's place, so the window outside it is never
  // touched, then lets the buffer go. A failed copy only leaves this redraw out.
  void present(HDC window, const DrawingArea& area);
  // Lets the buffer go without a copy.
  void end();

  bool active() const { return buffer_.exists(); }
  HDC dc() const { return buffer_.dc(); }
  // The buffer's sides (0 while not active): the most a channel's drawing can cover.
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }

 private:
  MemoryDC buffer_;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

}  // namespace KMC
