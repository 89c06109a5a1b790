// Window DCs: drawing into the engine's TavorinWindowSurface under its lock.
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

struct Window {
  Window(int w, int h) {
    surface.magic = TAVORIN_WINDOW_SURFACE_MAGIC;
    surface.generation = 0;
    pthread_mutex_init(&surface.lock, nullptr);
    resize(w, h);
  }
  ~Window() {
    surface.magic = 0;
    std::free(surface.pixels);
    pthread_mutex_destroy(&surface.lock);
  }
  // As the engine does when the window changes size between drawing calls.
  void resize(int w, int h) {
    pthread_mutex_lock(&surface.lock);
    std::free(surface.pixels);
    surface.pixels = static_cast<uint32_t*>(std::calloc(size_t(w) * h, 4));
    surface.width = w;
    surface.height = h;
    pthread_mutex_unlock(&surface.lock);
  }
  uint32_t at(int x, int y) const { return surface.pixels[y * surface.width + x] & 0x00FFFFFF; }
  TavorinWindowSurface surface = {};
};

}  // namespace

TEST(GdiWindow, WindowDCDrawsIntoTheSurfaceAndCountsGenerations) {
  Window window(8, 6);
  HDC dc = GetDC(&window.surface);
  ASSERT_NE(dc, nullptr);
  HDC back = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 8, 6);
  HGDIOBJ old = SelectObject(back, bitmap);
  HBRUSH green = CreateSolidBrush(RGB(0, 200, 0));
  RECT all = {0, 0, 4, 3};
  ASSERT_NE(FillRect(back, &all, green), 0);
  EXPECT_EQ(window.surface.generation, 0u);  // the back buffer is not the window

  ASSERT_TRUE(BitBlt(dc, 0, 0, 8, 6, back, 0, 0, SRCCOPY));
  EXPECT_EQ(window.surface.generation, 1u);
  EXPECT_EQ(window.at(3, 2), 0x0000C800u);
  EXPECT_EQ(window.at(4, 2), 0u);
  ASSERT_NE(FillRect(dc, &all, HBRUSH(GetStockObject(WHITE_BRUSH))), 0);
  EXPECT_EQ(window.surface.generation, 2u);
  EXPECT_EQ(window.at(0, 0), 0x00FFFFFFu);

  // The size is read at every call: a grown window is drawn in full, a clipped draw still counts.
  window.resize(12, 10);
  ASSERT_TRUE(StretchBlt(dc, 0, 0, 12, 10, back, 0, 0, 4, 3, SRCCOPY));
  EXPECT_EQ(window.surface.generation, 3u);
  EXPECT_EQ(window.at(11, 9), 0x0000C800u);
  ASSERT_TRUE(BitBlt(dc, 50, 50, 4, 4, back, 0, 0, SRCCOPY));
  EXPECT_EQ(window.surface.generation, 4u);

  // A window can be the source too.
  ASSERT_TRUE(BitBlt(back, 0, 0, 8, 6, dc, 4, 4, SRCCOPY));
  EXPECT_EQ(GetPixel(back, 0, 0), RGB(0, 200, 0));
  EXPECT_EQ(SelectObject(dc, bitmap), nullptr);  // bitmaps go into memory DCs only
  EXPECT_FALSE(DeleteDC(dc));                    // window DCs are released, not deleted
  EXPECT_EQ(ReleaseDC(nullptr, dc), 0);
  EXPECT_EQ(ReleaseDC(&window.surface, dc), 1);
  EXPECT_FALSE(BitBlt(dc, 0, 0, 1, 1, back, 0, 0, SRCCOPY));

  SelectObject(back, old);
  DeleteObject(bitmap);
  DeleteObject(green);
  DeleteDC(back);
}

TEST(GdiWindow, NotAWindowGivesNoDC) {
  TavorinWindowSurface fake = {};
  EXPECT_EQ(GetDC(&fake), nullptr);
}
