// GDI's documented results through the Windows names only: the same program runs against the
// POSIX stand-in and against real GDI (under Wine in CI). Pixels are read back with GetDIBits
// and compared on their colour bytes (the fourth byte of a 32-bit pixel is not something
// Windows promises to keep). Checks of what only the stand-in does (it refuses what the
// renderer never asks for) run only there; where Wine departs from documented GDI, the case is
// skipped under Wine with what each does.
#include "platform/win32.h"
#include "support/platform_under_test.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kColour = 0x00FFFFFF;

BITMAPINFO topDown(int w, int h) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// A memory DC with its own w x h bitmap, filled from top-down pixels.
struct Canvas {
  Canvas(int w, int h, const std::vector<uint32_t>& pixels = {}) : width(w), height(h) {
    HDC screen = GetDC(nullptr);
    dc = CreateCompatibleDC(screen);
    bitmap = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    old = SelectObject(dc, bitmap);
    load(pixels.empty() ? std::vector<uint32_t>(size_t(w) * h, 0) : pixels);
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  void load(const std::vector<uint32_t>& pixels) {
    BITMAPINFO info = topDown(width, height);
    ASSERT_EQ(SetDIBits(dc, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS), height);
  }
  // Colour bytes of every pixel, top row first.
  std::vector<uint32_t> read() const {
    std::vector<uint32_t> pixels(size_t(width) * height);
    BITMAPINFO info = topDown(width, height);
    EXPECT_EQ(GetDIBits(dc, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS), height);
    for (uint32_t& p : pixels) p &= kColour;
    return pixels;
  }
  uint32_t at(int x, int y) const { return read()[size_t(y) * width + x]; }
  int width, height;
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
};

std::vector<uint32_t> fill(size_t n, uint32_t value) { return std::vector<uint32_t>(n, value); }
// Distinct colours: 0x00YYXX10 for pixel (x, y).
std::vector<uint32_t> numbered(int w, int h) {
  std::vector<uint32_t> p;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.push_back(uint32_t(y) << 16 | uint32_t(x) << 8 | 0x10);
  return p;
}
uint32_t number(int x, int y) { return uint32_t(y) << 16 | uint32_t(x) << 8 | 0x10; }

int channel(uint32_t p, int c) { return int(p >> (8 * c)) & 0xFF; }

}  // namespace

TEST(Gdi, RasterOpsCombineBitForBitAfterScaling) {
  const uint32_t d = 0x00F0CC5A, s = 0x003C55A5;
  for (DWORD rop : {DWORD(SRCCOPY), DWORD(SRCAND), DWORD(SRCPAINT)}) {
    const uint32_t want = rop == SRCCOPY ? s : rop == SRCAND ? (d & s) : (d | s);
    Canvas src(2, 2, fill(4, s)), dst(4, 4, fill(16, d));
    EXPECT_TRUE(BitBlt(dst.dc, 0, 0, 2, 2, src.dc, 0, 0, rop));
    // Stretched 2x in both modes: the operation applies to the scaled pixels.
    for (int mode : {COLORONCOLOR, HALFTONE}) {
      Canvas big(4, 4, fill(16, d));
      SetStretchBltMode(big.dc, mode);
      EXPECT_TRUE(StretchBlt(big.dc, 0, 0, 4, 4, src.dc, 0, 0, 2, 2, rop));
      EXPECT_EQ(big.read(), fill(16, want)) << std::hex << rop << " mode " << mode;
    }
    std::vector<uint32_t> got = dst.read();
    EXPECT_EQ(got[0], want) << std::hex << rop;
    EXPECT_EQ(got[5], want);
    EXPECT_EQ(got[2], d);  // outside the 2x2 target
  }
  if (!testsupport::kRealWindows) {
    // The stand-in knows only the three operations the renderer uses and refuses the others.
    Canvas a(2, 2), b(2, 2);
    EXPECT_FALSE(BitBlt(a.dc, 0, 0, 2, 2, b.dc, 0, 0, 0x00660046 /* SRCINVERT */));
  }
}

TEST(Gdi, NegativeExtentsMirrorUnlessBothAreNegative) {
  Canvas src(4, 3, numbered(4, 3));
  Canvas h(4, 3), v(4, 3), both(4, 3), srcMirror(4, 3);
  ASSERT_TRUE(StretchBlt(h.dc, 3, 0, -4, 3, src.dc, 0, 0, 4, 3, SRCCOPY));
  ASSERT_TRUE(StretchBlt(v.dc, 0, 2, 4, -3, src.dc, 0, 0, 4, 3, SRCCOPY));
  ASSERT_TRUE(StretchBlt(both.dc, 3, 2, -4, -3, src.dc, 3, 2, -4, -3, SRCCOPY));
  ASSERT_TRUE(StretchBlt(srcMirror.dc, 0, 0, 4, 3, src.dc, 3, 0, -4, 3, SRCCOPY));
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(h.at(x, y), number(3 - x, y)) << x << "," << y;
      EXPECT_EQ(v.at(x, y), number(x, 2 - y)) << x << "," << y;
      EXPECT_EQ(both.at(x, y), number(x, y)) << x << "," << y;
      EXPECT_EQ(srcMirror.at(x, y), number(3 - x, y)) << x << "," << y;
    }
  }
  // Mirrored while scaled, in HALFTONE as the renderer draws a flipped picture.
  Canvas flipped(4, 6);
  SetStretchBltMode(flipped.dc, HALFTONE);
  ASSERT_TRUE(StretchBlt(flipped.dc, 0, 5, 4, -6, src.dc, 0, 0, 4, 3, SRCCOPY));
  EXPECT_EQ(flipped.at(1, 0), number(1, 2));
  EXPECT_EQ(flipped.at(1, 5), number(1, 0));
}

TEST(Gdi, ClipsToDestinationAndLeavesPixelsWithoutSourceUntouched) {
  const uint32_t mark = 0x00ABCDEF;
  Canvas src(3, 3, numbered(3, 3));
  Canvas dst(4, 4, fill(16, mark));
  // Runs past the right and bottom edges; the source starts one pixel before its surface.
  ASSERT_TRUE(BitBlt(dst.dc, 1, 1, 5, 5, src.dc, -1, -1, SRCCOPY));
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const int sx = x - 2, sy = y - 2;
      const bool drawn = sx >= 0 && sy >= 0;
      EXPECT_EQ(dst.at(x, y), drawn ? number(sx, sy) : mark) << x << "," << y;
    }
  }
  // Entirely off the destination: nothing changes, still a success.
  EXPECT_TRUE(BitBlt(dst.dc, -10, 0, 3, 3, src.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(dst.at(0, 0), mark);
}

TEST(Gdi, OverlappingCopyWithinOneBitmapReadsTheOriginal) {
  Canvas c(5, 1, numbered(5, 1));
  ASSERT_TRUE(BitBlt(c.dc, 1, 0, 4, 1, c.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(c.read(), (std::vector<uint32_t>{number(0, 0), number(0, 0), number(1, 0),
                                             number(2, 0), number(3, 0)}));
}

TEST(Gdi, SelectionAnswersDisplacedObjectsAndGuardsDeletion) {
  // Documented GDI answers zero for DeleteObject of an object still selected into a DC; Wine
  // answers TRUE and deletes it once it is deselected, so there those calls are not made.
  const bool refusesSelectedDeletion = !testsupport::runningUnderWine();
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HDC other = CreateCompatibleDC(screen);
  HBITMAP a = CreateCompatibleBitmap(screen, 2, 2);
  HBITMAP b = CreateCompatibleBitmap(screen, 2, 2);
  HGDIOBJ stock = SelectObject(dc, a);
  ASSERT_NE(stock, nullptr);  // the DC's default bitmap
  EXPECT_EQ(SelectObject(dc, b), HGDIOBJ(a));
  EXPECT_EQ(SelectObject(other, b), nullptr);   // already in dc
  if (refusesSelectedDeletion) {
    EXPECT_FALSE(DeleteObject(b));  // still selected
  }
  EXPECT_NE(SelectObject(other, a), nullptr);  // free again: answers other's default
  EXPECT_EQ(SelectObject(dc, stock), HGDIOBJ(b));
  EXPECT_TRUE(DeleteObject(b));
  EXPECT_FALSE(DeleteObject(b));  // already gone
  if (refusesSelectedDeletion) {
    EXPECT_FALSE(DeleteObject(a));  // selected in other
  }
  EXPECT_TRUE(DeleteDC(other));   // releases a
  EXPECT_TRUE(DeleteObject(a));

  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  HGDIOBJ defaultBrush = SelectObject(dc, red);
  ASSERT_NE(defaultBrush, nullptr);
  if (refusesSelectedDeletion) {
    EXPECT_FALSE(DeleteObject(red));
  }
  EXPECT_EQ(SelectObject(dc, defaultBrush), HGDIOBJ(red));
  EXPECT_TRUE(DeleteObject(red));

  EXPECT_EQ(SetStretchBltMode(dc, HALFTONE), BLACKONWHITE);
  EXPECT_EQ(SetStretchBltMode(dc, 7), 0);
  EXPECT_EQ(GetStretchBltMode(dc), HALFTONE);
  EXPECT_TRUE(DeleteDC(dc));
  ReleaseDC(nullptr, screen);
}

TEST(Gdi, FillRectExcludesRightAndBottomAndClips) {
  Canvas c(4, 4, fill(16, 0x00111111));
  HBRUSH brush = CreateSolidBrush(RGB(0x12, 0x34, 0x56));
  RECT r = {1, 1, 3, 3};
  ASSERT_NE(FillRect(c.dc, &r, brush), 0);
  RECT outside = {-5, 3, 1, 10};  // clipped to column 0, row 3
  ASSERT_NE(FillRect(c.dc, &outside, brush), 0);
  const uint32_t painted = 0x00123456;  // BGRX word of RGB(0x12, 0x34, 0x56): red high
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const bool filled = (x >= 1 && x < 3 && y >= 1 && y < 3) || (x == 0 && y == 3);
      EXPECT_EQ(c.at(x, y), filled ? painted : 0x00111111u) << x << "," << y;
    }
  }
  EXPECT_EQ(GetPixel(c.dc, 1, 1), RGB(0x12, 0x34, 0x56));

  // Inverted on an axis: the flipped run, columns right + 1 to left (rows bottom + 1 to top).
  // Empty, wholly outside or far-out rects never write outside the bitmap.
  Canvas f(4, 4, fill(16, 0x00111111));
  RECT inverted = {2, 3, 0, 1};  // columns 1-2, rows 2-3
  ASSERT_NE(FillRect(f.dc, &inverted, brush), 0);
  for (const RECT& nothing : {RECT{2, 0, 2, 4}, RECT{4, 0, 9, 4}, RECT{0, -5, 4, 0},
                              RECT{INT32_MIN, INT32_MIN, INT32_MIN + 1, 0}, RECT{0, -1, 9, -9}}) {
    ASSERT_NE(FillRect(f.dc, &nothing, brush), 0);
  }
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const bool filled = x >= 1 && x <= 2 && y >= 2;
      EXPECT_EQ(f.at(x, y), filled ? painted : 0x00111111u) << x << "," << y;
    }
  }
  if (!testsupport::runningUnderWine()) {
    // Flipped, this rectangle covers the whole bitmap. Wine works out the flipped extents in
    // 32 bits, where they overflow, and draws nothing.
    RECT everything = {INT32_MAX, INT32_MIN, INT32_MIN, INT32_MAX};
    ASSERT_NE(FillRect(f.dc, &everything, brush), 0);
    EXPECT_EQ(f.read(), fill(16, painted));
  }
  DeleteObject(brush);
}

TEST(Gdi, SetDIBitsHonoursOrientationStartAndLineCount) {
  Canvas c(2, 4, fill(8, 0x00999999));
  BITMAPINFO info = topDown(2, 4);
  info.bmiHeader.biHeight = 4;  // bottom-up: scan line 0 is the bottom row
  const std::vector<uint32_t> scans = {0x00000101, 0x00000102, 0x00000201, 0x00000202};
  // Scan lines 1 and 2 land on rows 2 and 1 (top-down).
  EXPECT_EQ(SetDIBits(nullptr, c.bitmap, 1, 2, scans.data(), &info, DIB_RGB_COLORS), 2);
  EXPECT_EQ(c.read(), (std::vector<uint32_t>{0x00999999, 0x00999999, 0x00000201, 0x00000202,
                                             0x00000101, 0x00000102, 0x00999999, 0x00999999}));
  // Top-down: start still counts from the DIB's bottom, so the two lines from start 0 are the
  // bottom rows 2 and 3, in buffer order; the answer is the number asked for, also when part
  // of the run lies above the DIB's top (start 3: rows -1 and 0, only row 0 exists).
  Canvas t(2, 4, fill(8, 0x00999999));
  info.bmiHeader.biHeight = -4;
  EXPECT_EQ(SetDIBits(nullptr, t.bitmap, 0, 2, scans.data(), &info, DIB_RGB_COLORS), 2);
  EXPECT_EQ(t.read(), (std::vector<uint32_t>{0x00999999, 0x00999999, 0x00999999, 0x00999999,
                                             0x00000101, 0x00000102, 0x00000201, 0x00000202}));
  EXPECT_EQ(SetDIBits(nullptr, t.bitmap, 3, 2, scans.data(), &info, DIB_RGB_COLORS), 2);
  EXPECT_EQ(t.at(0, 0), 0x00000201u);
  EXPECT_EQ(t.at(0, 1), 0x00999999u);

  if (!testsupport::kRealWindows) {
    // The stand-in takes the renderer's 32-bit DIB_RGB_COLORS uploads only; GDI converts more.
    BITMAPINFO wrong = info;
    wrong.bmiHeader.biBitCount = 24;
    EXPECT_EQ(SetDIBits(nullptr, c.bitmap, 0, 1, scans.data(), &wrong, DIB_RGB_COLORS), 0);
    EXPECT_EQ(SetDIBits(nullptr, c.bitmap, 0, 1, scans.data(), &info, DIB_PAL_COLORS), 0);
  }
}

// A DIB section's memory is its bitmap's pixels, in the DIB's row order: what is written there
// is what drawing from the bitmap reads, and drawing into the bitmap shows there once GDI has
// flushed. Scaled and mirrored copies from it match those from a bitmap holding the same picture.
TEST(Gdi, DibSectionMemoryIsTheBitmapInTheDibsRowOrder) {
  const int w = 6, h = 4;
  const std::vector<uint32_t> picture = numbered(w, h);
  Canvas reference(w, h, picture);
  for (bool bottomUp : {true, false}) {
    BITMAPINFO info = topDown(w, h);
    if (bottomUp) info.bmiHeader.biHeight = h;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(section, nullptr) << bottomUp;
    ASSERT_NE(bits, nullptr);
    uint32_t* memory = static_cast<uint32_t*>(bits);
    // Memory row r is picture row r top-down, or h - 1 - r bottom-up.
    auto memoryRow = [&](int y) { return memory + size_t(bottomUp ? h - 1 - y : y) * w; };
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) memoryRow(y)[x] = picture[size_t(y) * w + x];
    }
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, section);
    ASSERT_NE(old, nullptr);

    Canvas copy(w, h);
    ASSERT_TRUE(BitBlt(copy.dc, 0, 0, w, h, dc, 0, 0, SRCCOPY));
    EXPECT_EQ(copy.read(), picture) << bottomUp;
    for (int mode : {COLORONCOLOR, HALFTONE}) {
      Canvas fromSection(15, 3), fromBitmap(15, 3);
      SetStretchBltMode(fromSection.dc, mode);
      SetStretchBltMode(fromBitmap.dc, mode);
      ASSERT_TRUE(StretchBlt(fromSection.dc, 0, 2, 15, -3, dc, 0, 0, w, h, SRCCOPY));
      ASSERT_TRUE(StretchBlt(fromBitmap.dc, 0, 2, 15, -3, reference.dc, 0, 0, w, h, SRCCOPY));
      EXPECT_EQ(fromSection.read(), fromBitmap.read()) << bottomUp << " mode " << mode;
    }

    // Drawing into it: the top row turns white in the memory's own order.
    RECT top = {0, 0, w, 1};
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    ASSERT_TRUE(FillRect(dc, &top, white));
    ASSERT_TRUE(GdiFlush());
    EXPECT_EQ(memoryRow(0)[w - 1] & kColour, kColour) << bottomUp;
    EXPECT_EQ(memoryRow(1)[0] & kColour, picture[size_t(w)]) << bottomUp;
    DeleteObject(white);

    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_TRUE(DeleteObject(section));
  }
  if (!testsupport::kRealWindows) {
    // The stand-in keeps the pixels in memory of its own only, and 32-bit BI_RGB only.
    BITMAPINFO info = topDown(w, h);
    void* bits = &info;
    int mapping = 0;
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, &mapping, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
    info.bmiHeader.biBitCount = 24;
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  }
}

TEST(Gdi, HalftoneCopiesOneToOneAndAveragesWhenShrinking) {
  Canvas src(8, 4, numbered(8, 4));
  Canvas same(8, 4);
  SetStretchBltMode(same.dc, HALFTONE);
  ASSERT_TRUE(StretchBlt(same.dc, 0, 0, 8, 4, src.dc, 0, 0, 8, 4, SRCCOPY));
  EXPECT_EQ(same.read(), numbered(8, 4));

  // Channels: blue 0x10 everywhere, green = x, red = y; averages of 2x2 and 4x4 blocks.
  // Documented HALFTONE averages every source pixel a target pixel covers; Wine's averages only
  // neighbouring pixels, so a 4:1 shrink there is not the block's mean (pixel (0, 0) is source
  // pixel (0, 0) again).
  for (int factor : testsupport::runningUnderWine() ? std::vector<int>{2} : std::vector<int>{2, 4}) {
    Canvas small(8 / factor, 4 / factor);
    SetStretchBltMode(small.dc, HALFTONE);
    ASSERT_TRUE(StretchBlt(small.dc, 0, 0, 8 / factor, 4 / factor, src.dc, 0, 0, 8, 4, SRCCOPY));
    for (int y = 0; y < 4 / factor; ++y) {
      for (int x = 0; x < 8 / factor; ++x) {
        const uint32_t p = small.at(x, y);
        const double meanX = x * factor + (factor - 1) / 2.0;
        const double meanY = y * factor + (factor - 1) / 2.0;
        EXPECT_EQ(channel(p, 0), 0x10);
        EXPECT_NEAR(channel(p, 1), meanX, 1.0) << factor << ": " << x << "," << y;
        EXPECT_NEAR(channel(p, 2), meanY, 1.0) << factor << ": " << x << "," << y;
      }
    }
  }
}

TEST(Gdi, HalftoneEnlargingInterpolates) {
  Canvas src(2, 1, {0x00000000, 0x00C8C8C8});
  Canvas big(8, 1);
  SetStretchBltMode(big.dc, HALFTONE);
  ASSERT_TRUE(StretchBlt(big.dc, 0, 0, 8, 1, src.dc, 0, 0, 2, 1, SRCCOPY));
  std::vector<uint32_t> p = big.read();
  EXPECT_EQ(channel(p[0], 1), 0);
  EXPECT_EQ(channel(p[7], 1), 200);
  for (int x = 1; x < 8; ++x) EXPECT_GE(channel(p[x], 1), channel(p[x - 1], 1));
  EXPECT_GT(channel(p[4], 1), 0);  // in-between values, not two blocks
  EXPECT_LT(channel(p[3], 1), 200);
}

TEST(Gdi, ColorOnColorTakesTheNearestPixel) {
  Canvas src(3, 2, numbered(3, 2));
  Canvas big(6, 4);
  SetStretchBltMode(big.dc, COLORONCOLOR);
  ASSERT_TRUE(StretchBlt(big.dc, 0, 0, 6, 4, src.dc, 0, 0, 3, 2, SRCCOPY));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(big.at(x, y), number(x / 2, y / 2)) << x << "," << y;
  // Shrinking picks one of the covered pixels, unblended.
  Canvas small(1, 1);
  SetStretchBltMode(small.dc, COLORONCOLOR);
  ASSERT_TRUE(StretchBlt(small.dc, 0, 0, 1, 1, src.dc, 0, 0, 2, 1, SRCCOPY));
  const uint32_t p = small.at(0, 0);
  EXPECT_TRUE(p == number(0, 0) || p == number(1, 0)) << std::hex << p;
}

TEST(Gdi, BadAndDeletedHandlesAnswerFailure) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 2, 2);
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  ASSERT_TRUE(DeleteDC(dc));
  ASSERT_TRUE(DeleteObject(bitmap));
  ASSERT_TRUE(DeleteObject(brush));
  HDC bogus = reinterpret_cast<HDC>(uintptr_t(0x1234567));
  RECT r = {0, 0, 1, 1};
  Canvas live(2, 2);
  // Documented FillRect answers zero when it fails; Wine's answers TRUE whatever the DC or
  // brush, so those answers are checked only elsewhere.
  const bool fillRectReportsFailure = !testsupport::runningUnderWine();
  for (HDC bad : {dc, bogus, HDC(nullptr)}) {
    EXPECT_FALSE(DeleteDC(bad));
    EXPECT_FALSE(BitBlt(bad, 0, 0, 1, 1, live.dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(live.dc, 0, 0, 1, 1, bad, 0, 0, SRCCOPY));
    EXPECT_EQ(SelectObject(bad, live.bitmap), nullptr);
    EXPECT_EQ(SetStretchBltMode(bad, HALFTONE), 0);
    if (fillRectReportsFailure) {
      EXPECT_EQ(FillRect(bad, &r, HBRUSH(GetStockObject(BLACK_BRUSH))), 0);
    }
    EXPECT_EQ(GetPixel(bad, 0, 0), CLR_INVALID);
  }
  EXPECT_EQ(SelectObject(live.dc, bitmap), nullptr);
  if (fillRectReportsFailure) {
    EXPECT_EQ(FillRect(live.dc, &r, brush), 0);
  }
  EXPECT_FALSE(DeleteObject(bitmap));
  BITMAPINFO info = topDown(2, 2);
  uint32_t pixels[4] = {};
  EXPECT_EQ(SetDIBits(nullptr, bitmap, 0, 2, pixels, &info, DIB_RGB_COLORS), 0);
  if (!testsupport::runningUnderWine()) {
    // Windows makes no bitmap of a size below one pixel; Wine makes one of the absolute size
    // for a negative size and answers its default 1x1 bitmap for a zero size.
    EXPECT_EQ(CreateCompatibleBitmap(screen, -1, 4), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(screen, 0, 4), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(screen, 4, 0), nullptr);
  }
  if (!testsupport::kRealWindows) {
    // The stand-in refuses a side beyond 32767 pixels; Windows' limit is its memory.
    EXPECT_EQ(CreateCompatibleBitmap(screen, 40000, 1), nullptr);
  }
  ReleaseDC(nullptr, screen);
}

// A channel's bitmaps are deleted on an engine thread while the output thread draws from them:
// every call either works or fails cleanly (the sanitizer builds watch the memory).
// One thread draws from whatever DC is published while another deletes it. Every call answers
// success or a clean failure (a deleted or null DC), and after every call the destination holds
// one of the pictures that can be drawn, never a mix of freed memory: a whole canvas, or (from a
// DC that holds its 1 x 1 default bitmap, just before its canvas is selected or just after it is
// let go) that bitmap's one pixel scaled to the top-left 2 x 2 pixels, the rest clipped.
TEST(Gdi, DeletingOnOneThreadWhileDrawingOnAnother) {
  constexpr int kCanvases = 300;
  constexpr uint32_t kUntouched = 0x00123456;
  auto colourOf = [](int i) { return uint32_t(0x00200000) | uint32_t(i); };
  auto drawable = [&](const std::vector<uint32_t>& picture, bool drawn) {
    auto all = [&](uint32_t colour) {
      return std::all_of(picture.begin(), picture.end(), [&](uint32_t p) { return p == colour; });
    };
    if (all(kUntouched)) return true;  // a failure, or nothing inside the source
    if (!drawn) return false;          // a failed call draws nothing
    // A stale handle may name the next canvas's DC, black until its pixels are loaded.
    if (all(0)) return true;
    if (picture[0] >= colourOf(0) && picture[0] < colourOf(kCanvases) && all(picture[0])) return true;
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 64; ++x) {
        const uint32_t p = picture[size_t(y) * 64 + x];
        const bool corner = x < 2 && y < 2;
        if (corner ? (p != picture[0] || (p != 0 && p != kColour)) : p != kUntouched) return false;
      }
    }
    return true;
  };
  Canvas dst(64, 64);
  const std::vector<uint32_t> untouched = fill(64 * 64, kUntouched);
  std::atomic<HDC> shared{nullptr};
  std::atomic<bool> stop{false};
  std::atomic<int> calls{0};
  int wrong = 0, succeeded = 0;  // drawer thread until joined
  std::thread drawer([&] {
    while (!stop) {
      dst.load(untouched);
      const BOOL drawn = StretchBlt(dst.dc, 0, 0, 64, 64, shared.load(), 0, 0, 32, 32, SRCCOPY);
      if (!drawable(dst.read(), drawn != FALSE)) ++wrong;
      if (drawn) ++succeeded;
      calls.fetch_add(1);
    }
  });
  for (int i = 0; i < kCanvases; ++i) {
    Canvas* c = new Canvas(32, 32, fill(32 * 32, colourOf(i)));
    shared = c->dc;
    // The second call to end from now began with this DC published; delete it under the third.
    const int seen = calls.load();
    while (calls.load() < seen + 2) std::this_thread::yield();
    shared = nullptr;
    delete c;
  }
  stop = true;
  drawer.join();
  EXPECT_EQ(wrong, 0) << "pictures no call can draw, of " << calls.load();
  EXPECT_GE(succeeded, kCanvases) << "every canvas was drawn at least once while it lived";
}
