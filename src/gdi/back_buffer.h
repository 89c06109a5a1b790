// The picture of one redraw: a memory bitmap one column and one row larger than the drawing
// area, black where no channel draws, drawn into by every channel and copied into the window
// when the redraw ends.
//
// The bitmap is kept from one redraw to the next while the area's size and the window DC stay:
// a new 8 MB bitmap costs fresh pages every time where GDI backs it with new memory (under Wine
// a quarter of the player's CPU went to those page faults at 1080p). A kept bitmap holds the
// last picture, so it is filled black again, once per redraw, just before the first drawing
// into it; a first drawing that is opaque and covers the whole area overwrites every pixel the
// fill would write, and then the fill is left out. Private to the GDI renderer's sources (it
// names GDI types).
#pragma once

#include <cstdint>

#include "gdi/blit_geometry.h"
#include "gdi/memory_dc.h"
#include "platform/win32.h"

namespace KMC {

struct DrawingArea;

class BackBuffer {
 public:
  // Starts a redraw of area (which must be drawable) with a buffer compatible with window, in
  // HALFTONE mode, to be black under whatever is drawn (with black). False when it cannot be
  // made: that redraw then makes no picture.
  bool begin(HDC window, const DrawingArea& area, HBRUSH black);
  // Before every drawing into dc(): where it draws, and whether it writes every pixel of that
  // rectangle (no transparency). The first one of a redraw decides the black fill.
  void beforeDrawing(const BlitRect& where, bool opaque);
  // Copies exactly the area into window at the area's place, so the window outside it is never
  // touched, and ends the redraw. A failed copy only leaves this redraw out.
  void present(HDC window, const DrawingArea& area);
  // Ends the redraw without a copy.
  void end() { active_ = false; }
  // Deletes the bitmap: before the DC it is compatible with goes.
  void release();

  // Between begin and present or end.
  bool active() const { return active_; }
  HDC dc() const { return buffer_.dc(); }
  // The buffer's sides: the most a channel's drawing can cover.
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }

 private:
  void fillIfPending();

  MemoryDC buffer_;
  HDC madeFor_ = nullptr;  // the window DC the bitmap is compatible with
  bool active_ = false;
  bool fillPending_ = false;  // nothing drawn yet in this redraw, the fill not made
  HBRUSH black_ = nullptr;
  RECT fill_ = {};            // the area, from the buffer's top left corner
  int32_t width_ = 0;
  int32_t height_ = 0;
};

}  // namespace KMC
