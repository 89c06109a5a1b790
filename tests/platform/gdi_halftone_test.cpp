// HALFTONE shrinking: the exact 2:1 box halving against a plain reference average, and whole
// shrinks around the 2:1 ratio through StretchBlt.
#include "resample/box_halving.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

// The mean of the source pixels a halved pixel covers, every byte on its own, rounded half up;
// a pixel beyond an odd edge is the edge pixel again.
std::vector<uint32_t> referenceHalving(const std::vector<uint32_t>& from, int width, int height,
                                       bool halveX, bool halveY) {
  const int w = halveX ? (width + 1) / 2 : width;
  const int h = halveY ? (height + 1) / 2 : height;
  std::vector<uint32_t> to;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::vector<uint32_t> covered;
      for (int dy = 0; dy < (halveY ? 2 : 1); ++dy) {
        for (int dx = 0; dx < (halveX ? 2 : 1); ++dx) {
          const int sx = std::min(width - 1, (halveX ? 2 * x : x) + dx);
          const int sy = std::min(height - 1, (halveY ? 2 * y : y) + dy);
          covered.push_back(from[size_t(sy) * width + sx]);
        }
      }
      uint32_t pixel = 0;
      for (int byte = 0; byte < 4; ++byte) {
        unsigned sum = 0;
        for (uint32_t p : covered) sum += (p >> (8 * byte)) & 0xFF;
        const unsigned n = unsigned(covered.size());
        pixel |= ((sum + n / 2) / n) << (8 * byte);
      }
      to.push_back(pixel);
    }
  }
  return to;
}

TEST(Halving, AgreesWithAPlainAverageOnEveryShape) {
  std::mt19937 random(7);
  // Odd and even sizes around the 4-pixel vector step, 1-pixel-wide and 1-pixel-high pictures.
  const int sizes[] = {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 33};
  for (int width : sizes) {
    for (int height : {1, 2, 3, 5, 8}) {
      // A stride wider than the picture: the halving must read only the picture's pixels.
      const int stride = width + 3;
      std::vector<uint32_t> source(size_t(stride) * height);
      for (uint32_t& p : source) p = random();
      std::vector<uint32_t> packed;
      for (int y = 0; y < height; ++y)
        packed.insert(packed.end(), source.begin() + y * stride, source.begin() + y * stride + width);
      for (int axes = 1; axes <= 3; ++axes) {
        const bool hx = axes & 1, hy = axes & 2;
        std::vector<uint32_t> want = referenceHalving(packed, width, height, hx, hy);
        std::vector<uint32_t> got(want.size() + 1, 0xDEADBEEF);
        resample::halvePicture(source.data(), stride, width, height, hx, hy, got.data());
        EXPECT_EQ(got.back(), 0xDEADBEEFu) << "wrote past the picture";
        got.pop_back();
        EXPECT_EQ(got, want) << width << "x" << height << " axes " << axes;
      }
    }
  }
}

BITMAPINFO topDown(int w, int h) {
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  return info;
}

// Shrinks a w x 1 picture to dw x 1 in HALFTONE and answers the green byte of each pixel.
std::vector<int> shrinkRow(const std::vector<uint32_t>& row, int dw) {
  const int w = int(row.size());
  HDC screen = GetDC(nullptr);
  HDC from = CreateCompatibleDC(screen), to = CreateCompatibleDC(screen);
  HBITMAP source = CreateCompatibleBitmap(screen, w, 1), dest = CreateCompatibleBitmap(screen, dw, 1);
  HGDIOBJ oldFrom = SelectObject(from, source), oldTo = SelectObject(to, dest);
  BITMAPINFO info = topDown(w, 1);
  SetDIBits(nullptr, source, 0, 1, row.data(), &info, DIB_RGB_COLORS);
  SetStretchBltMode(to, HALFTONE);
  EXPECT_TRUE(StretchBlt(to, 0, 0, dw, 1, from, 0, 0, w, 1, SRCCOPY));
  std::vector<uint32_t> out(static_cast<size_t>(dw));
  info = topDown(dw, 1);
  GetDIBits(nullptr, dest, 0, 1, out.data(), &info, DIB_RGB_COLORS);
  SelectObject(from, oldFrom);
  SelectObject(to, oldTo);
  DeleteObject(source);
  DeleteObject(dest);
  DeleteDC(from);
  DeleteDC(to);
  ReleaseDC(nullptr, screen);
  std::vector<int> green;
  for (uint32_t p : out) green.push_back(int(p >> 8) & 0xFF);
  return green;
}

TEST(Halftone, ShrinkingAroundTwoToOneKeepsPlaceAndAverages) {
  for (int dw : {32, 31, 33, 30}) {  // 64 -> 32 is 2:1; 31 and 30 are above, 33 below
    // A ramp: every destination pixel shows the value at the centre of the run it covers, so
    // a shifted or mis-scaled step is off by a ratio's worth.
    std::vector<uint32_t> ramp;
    for (int x = 0; x < 64; ++x) ramp.push_back(uint32_t(x * 3) << 8);
    std::vector<int> got = shrinkRow(ramp, dw);
    const double ratio = 64.0 / dw;
    for (int x = 1; x + 1 < dw; ++x) {
      const double centre = (x + 0.5) * ratio - 0.5;
      EXPECT_NEAR(got[size_t(x)], 3 * centre, 1.5) << "64 -> " << dw << " at " << x;
    }
    // Alternating columns: from 2:1 on, every source pixel is averaged in, never skipped.
    if (dw > 32) continue;
    std::vector<uint32_t> stripes;
    for (int x = 0; x < 64; ++x) stripes.push_back(x % 2 ? 0x0000C800u : 0u);
    for (int v : shrinkRow(stripes, dw)) EXPECT_NEAR(v, 100, 1) << "64 -> " << dw;
  }
}

}  // namespace
