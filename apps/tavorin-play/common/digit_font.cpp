#include "digit_font.h"

namespace play {

namespace {

// One row per byte, the five low bits left to right (bit 4 = leftmost column).
const uint8_t kGlyphs[10][DigitFont::kGlyphHeight] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},  // 0
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},  // 1
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},  // 2
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},  // 3
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},  // 4
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},  // 5
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},  // 6
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},  // 7
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},  // 8
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},  // 9
};

}  // namespace

bool DigitFont::covers(int digit, int column, int row) {
  if (digit < 0 || digit > 9 || column < 0 || column >= kGlyphWidth || row < 0 || row >= kGlyphHeight) return false;
  return (kGlyphs[digit][row] >> (kGlyphWidth - 1 - column)) & 1;
}

int DigitFont::textWidth(const std::string& text, int scale) {
  if (text.empty()) return 0;
  return (static_cast<int>(text.size()) * kAdvance - 1) * scale;
}

void DigitFont::draw(const PixelBuffer& target, int x, int y, const std::string& text, int scale, uint32_t colour) {
  if (scale < 1) return;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c < '0' || c > '9') continue;
    int digit = c - '0';
    int left = x + static_cast<int>(i) * kAdvance * scale;
    for (int row = 0; row < kGlyphHeight * scale; ++row) {
      int py = y + row;
      if (py < 0 || py >= target.height) continue;
      uint32_t* line = target.pixels + static_cast<size_t>(py) * target.stride;
      for (int column = 0; column < kGlyphWidth * scale; ++column) {
        int px = left + column;
        if (px < 0 || px >= target.width) continue;
        if (covers(digit, column / scale, row / scale)) line[px] = colour;
      }
    }
  }
}

}  // namespace play
