// Bitmap memory: taken lazily, recycled through the pixel pool, and never showing an earlier
// bitmap's pixels.
#include "platform/posix/software_gdi_pixel_pool.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace {

BITMAPINFO topDown(int w, int h) {
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  return info;
}

// A memory DC with a new bitmap selected, as the renderer makes them.
struct Surface {
  Surface(int w, int h) : width(w), height(h) {
    HDC screen = GetDC(nullptr);
    dc = CreateCompatibleDC(screen);
    bitmap = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    old = SelectObject(dc, bitmap);
  }
  ~Surface() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  void upload(uint32_t colour) {
    std::vector<uint32_t> pixels(size_t(width) * height, colour);
    BITMAPINFO info = topDown(width, height);
    ASSERT_EQ(SetDIBits(nullptr, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS), height);
  }
  std::vector<uint32_t> read() const {
    std::vector<uint32_t> pixels(size_t(width) * height, 0xDEADBEEF);
    BITMAPINFO info = topDown(width, height);
    EXPECT_EQ(GetDIBits(nullptr, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS), height);
    return pixels;
  }
  int width, height;
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
};

uint64_t allocations() { return gdi::pixelPoolStatistics().allocations; }

// One frame as the renderer shows it: picture and mask surfaces (the mask unused for an opaque
// frame), a back buffer cleared to black, the picture stretched in, the back buffer copied out.
void redraw(Surface& window, int frameW, int frameH, uint32_t colour) {
  Surface picture(frameW, frameH), mask(frameW, frameH);
  picture.upload(colour);
  Surface back(window.width + 1, window.height + 1);
  SetStretchBltMode(back.dc, HALFTONE);
  RECT all = {0, 0, window.width, window.height};
  FillRect(back.dc, &all, HBRUSH(GetStockObject(BLACK_BRUSH)));
  StretchBlt(back.dc, 0, 0, window.width, window.height, picture.dc, 0, 0, frameW, frameH, SRCCOPY);
  BitBlt(window.dc, 0, 0, window.width, window.height, back.dc, 0, 0, SRCCOPY);
}

TEST(PixelPool, SteadyRedrawsTakeNoNewMemoryAndUnusedBitmapsNone) {
  Surface window(64, 48);
  for (int frameW : {64, 32, 200}) {  // 1:1, enlarged, shrunk over two halvings
    const int frameH = frameW * 3 / 4;
    for (int i = 0; i < 3; ++i) redraw(window, frameW, frameH, 0x00102030);
    const uint64_t before = allocations();
    for (int i = 0; i < 20; ++i) redraw(window, frameW, frameH, 0x00102030 + uint32_t(i));
    EXPECT_EQ(allocations(), before) << "frames of " << frameW;
  }
  // A bitmap that is created, selected and deleted untouched takes nothing.
  const uint64_t before = allocations();
  { Surface unused(1000, 1000); }
  EXPECT_EQ(allocations(), before);
}

TEST(PixelPool, RecycledMemoryNeverShowsAnEarlierBitmap) {
  const uint32_t white = 0x00FFFFFF;
  { Surface earlier(16, 8); earlier.upload(white); }
  // Never drawn: reads black. Then partly written in each way a bitmap can be: the rest is black.
  Surface blank(16, 8);
  EXPECT_EQ(blank.read(), std::vector<uint32_t>(16 * 8, 0));
  EXPECT_EQ(GetPixel(blank.dc, 3, 3), 0u);
  for (int way = 0; way < 4; ++way) {
    { Surface earlier(16, 8); earlier.upload(white); }
    Surface s(16, 8);
    Surface source(4, 4);
    source.upload(0x00ABCDEF);
    BITMAPINFO info = topDown(16, 2);
    std::vector<uint32_t> rows(32, 0x00ABCDEF);
    RECT r = {2, 2, 6, 6};
    HBRUSH brush = CreateSolidBrush(RGB(0xAB, 0xCD, 0xEF));
    switch (way) {
      case 0: SetDIBits(nullptr, s.bitmap, 0, 2, rows.data(), &info, DIB_RGB_COLORS); break;
      case 1: FillRect(s.dc, &r, brush); break;
      case 2: BitBlt(s.dc, 2, 2, 4, 4, source.dc, 0, 0, SRCCOPY); break;
      case 3: BitBlt(s.dc, 2, 2, 4, 4, source.dc, 0, 0, SRCPAINT); break;
    }
    DeleteObject(brush);
    int written = 0;
    for (uint32_t p : s.read()) {
      EXPECT_TRUE((p & 0x00FFFFFF) == 0 || (p & 0x00FFFFFF) == 0x00ABCDEF) << std::hex << p << " way " << way;
      written += p != 0;
    }
    EXPECT_EQ(written, way == 0 ? 32 : 16) << "way " << way;
  }
}

TEST(PixelPool, AlternatingSizesReuseAndASizeChangeForGoodShrinksThePool) {
  Surface window(64, 48);
  for (int i = 0; i < 4; ++i) redraw(window, 40 + 8 * (i % 2), 30, 0x00112233);
  const uint64_t before = allocations();
  for (int i = 0; i < 20; ++i) redraw(window, 40 + 8 * (i % 2), 30, 0x00112233);
  EXPECT_EQ(allocations(), before);

  // The window grows for good: the old sizes' buffers are freed after a while.
  Surface bigger(320, 240);
  for (int i = 0; i < int(gdi::kPoolMaxIdleRequests) + 4; ++i) redraw(bigger, 320, 240, 0x00445566);
  const gdi::PixelPoolStatistics now = gdi::pixelPoolStatistics();
  EXPECT_LE(now.pooledBytes, now.pooledBuffers * size_t(321 * 241 * 4 + 64));
  EXPECT_LE(now.pooledBuffers, gdi::kPoolMaxBuffers);
  EXPECT_GE(now.pooledBytes, size_t(320 * 240 * 4)) << "the size in use stays pooled";
}

// The engine deletes and re-creates a channel's bitmaps on its own thread, at changing sizes,
// while the output thread redraws from them. Each call answers success or a clean failure on a
// stale handle, and what the back buffer and the window hold afterwards is whole pictures: one
// of the channel's colours (a stale handle may name the next bitmap), never a mix of memory that
// went back to the pool under a blit.
TEST(PixelPool, ChannelBitmapsReplacedOnAnotherThreadDuringRedraws) {
  constexpr uint32_t kFirst = 0x00FF0000;
  auto colourOf = [](int i) { return uint32_t(0x00000100) * uint32_t(i + 1); };  // bits 8-16
  auto whole = [](const std::vector<uint32_t>& pixels, int w, int h, int stride, uint32_t& colour) {
    colour = pixels[0] & 0x00FFFFFF;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        if ((pixels[size_t(y) * stride + x] & 0x00FFFFFF) != colour) return false;
      }
    }
    return true;
  };
  Surface window(64, 48);
  std::mutex mutex;
  Surface* channel = new Surface(32, 24);  // GUARDED_BY(mutex)
  channel->upload(kFirst);
  std::atomic<bool> stop{false};
  std::thread engine([&] {
    for (int i = 0; i < 300; ++i) {
      const int w = 16 + 16 * (i % 3), h = 12 + 12 * (i % 2);
      Surface* next = new Surface(w, h);
      next->upload(colourOf(i));
      Surface* old;
      {
        std::lock_guard<std::mutex> guard(mutex);
        old = channel;
        channel = next;
      }
      delete old;  // its bitmap goes back to the pool, maybe while a blit still reads it
    }
    stop = true;
  });
  int redraws = 0;
  int wrong = 0;
  while (!stop) {
    Surface back(65, 49);
    SetStretchBltMode(back.dc, HALFTONE);
    HDC dc;
    int w, h;
    {
      std::lock_guard<std::mutex> guard(mutex);
      dc = channel->dc;
      w = channel->width;
      h = channel->height;
    }
    // The channel may be deleted meanwhile: the calls then fail cleanly on a stale handle.
    const BOOL copied = StretchBlt(back.dc, 0, 0, 64, 48, dc, 0, 0, w, h, SRCCOPY);
    uint32_t picture = 0;
    const bool copiedWhole = whole(back.read(), 64, 48, 65, picture);
    // Black also after a success: a DC that has let its bitmap go holds its 1 x 1 default one.
    const bool known = picture == 0 || picture == kFirst ||
                       (picture >= colourOf(0) && picture <= colourOf(299) && picture % colourOf(0) == 0);
    if (!copiedWhole || !known || (!copied && picture != 0)) ++wrong;
    StretchBlt(back.dc, 0, 0, 64, 48, dc, 0, 0, w, h, SRCPAINT);
    uint32_t painted = 0;
    // Or-ing adds bits to each pixel alike: the picture stays whole and keeps the copied bits.
    if (!whole(back.read(), 64, 48, 65, painted) || (painted | picture) != painted) ++wrong;
    EXPECT_TRUE(BitBlt(window.dc, 0, 0, 64, 48, back.dc, 0, 0, SRCCOPY));
    uint32_t shown = 0;
    if (!whole(window.read(), 64, 48, 64, shown) || shown != painted) ++wrong;
    ++redraws;
  }
  engine.join();
  delete channel;
  EXPECT_EQ(wrong, 0) << "of " << redraws << " redraws";
}

}  // namespace
