// A tiny 5 x 7 bitmap font of the ten digits, drawn into 32-bit pixel buffers at any integer
// scale. Enough to stamp a frame number on a generated picture.
#pragma once

#include <cstdint>
#include <string>

namespace play {

struct PixelBuffer {
  uint32_t* pixels;
  int width;
  int height;
  int stride;  // in pixels
};

class DigitFont {
 public:
  static const int kGlyphWidth = 5;
  static const int kGlyphHeight = 7;
  static const int kAdvance = 6;  // glyph plus one column of space

  // Whether the glyph of digit (0-9) covers cell (column, row); false outside the glyph.
  static bool covers(int digit, int column, int row);

  // Width in pixels of text drawn at scale (no trailing space).
  static int textWidth(const std::string& text, int scale);

  // Draws the digits of text with their top-left corner at (x, y), each font pixel a
  // scale x scale square of colour; clipped to the buffer. Characters other than digits
  // leave a blank cell.
  static void draw(const PixelBuffer& target, int x, int y, const std::string& text, int scale, uint32_t colour);
};

}  // namespace play
