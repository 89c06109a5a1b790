// The built-in clip: its timing, where its channels go in the window, and the pictures.
//
// Picture channels are opaque "BGRX" frames: a blue gradient with a light bar that moves
// one step per frame, stamped with the frame number. The overlay is a "BGRA" frame: clear
// (alpha 0) in its upper part, an opaque amber caption bar below with two clear holes and the
// frame number. Everything is drawn straight from the frame number, so any frame can be made
// in any order (reverse play, pull channels).
#pragma once

#include <cstdint>
#include <string>

#include "digit_font.h"
#include "tile_layout.h"

namespace play {

// Frame i starts at (i + 1) frame periods of media time, rounded to milliseconds: a start
// time of 0 means "untimed" to the output, so the clip begins one period in.
class ClipTiming {
 public:
  ClipTiming(double fps, double seconds);

  int frameCount() const { return frameCount_; }
  double period() const { return 1000.0 / fps_; }
  int32_t startTime(int frame) const;
  // Up to the next frame's start; at least 1 ms.
  uint32_t duration(int frame) const;
  int32_t firstStart() const { return startTime(0); }
  // The frame shown at media time t: the one with start <= t < its end, the first frame
  // before the clip and the last after it.
  int frameAtTime(int64_t t) const;
  // End of the last frame.
  int32_t endTime() const { return startTime(frameCount_); }

 private:
  double fps_;
  int frameCount_;
};

namespace layout {
// Black border around everything the clip draws, as a fraction of the window.
const double kMargin = 1.0 / 16;
// Overlay regions, in fractions of the overlay picture.
const double kBarTop = 0.70;
const Fractions kHoles[2] = {{0.55, 0.78, 0.70, 0.92}, {0.80, 0.78, 0.95, 0.92}};
const double kNumberLeft = 0.03;

// Where picture channel index (of count) goes: a near-square grid inside the margin.
inline Fractions pictureTile(int index, int count) { return gridTile(index, count, kMargin); }
// The overlay covers the whole area inside the margin.
Fractions overlayArea();
}  // namespace layout

namespace colours {
// 0xAARRGGBB as the pixels hold them ("BGRA" byte order in memory).
const uint32_t kOverlayBar = 0xFFE0A020u;
const uint32_t kOverlayText = 0xFF202020u;
const uint32_t kClear = 0x00000000u;
const uint32_t kPictureBar = 0x0060E0FFu;
const uint32_t kPictureText = 0x00FFFFFFu;
}  // namespace colours

// Fills target with picture frame `frame` of channel `channel`. The top byte of every pixel
// is 0: a "BGRX" picture's fourth byte carries nothing and must not make it transparent.
void drawPicture(const PixelBuffer& target, int frame, int channel);
// Fills target with overlay frame `frame`.
void drawOverlay(const PixelBuffer& target, int frame);

}  // namespace play
