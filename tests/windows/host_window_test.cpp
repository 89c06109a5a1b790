// The engine stand-in's window on Windows: a real window whose pixels come back exactly as GDI
// drew them, top row first, as 0x00RRGGBB.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/host_window.h"

namespace {

HWND hwndOf(const host::HostWindow& window) { return reinterpret_cast<HWND>(window.handle()); }

void fill(const host::HostWindow& window, int left, int top, int right, int bottom, COLORREF colour) {
  HDC dc = GetDC(hwndOf(window));
  ASSERT_NE(dc, nullptr);
  HBRUSH brush = CreateSolidBrush(colour);
  RECT area = {left, top, right, bottom};
  FillRect(dc, &area, brush);
  DeleteObject(brush);
  ReleaseDC(hwndOf(window), dc);
}

int countOf(const std::vector<uint32_t>& pixels, uint32_t colour) {
  int count = 0;
  for (uint32_t pixel : pixels) count += (pixel & 0x00FFFFFFu) == colour ? 1 : 0;
  return count;
}

TEST(HostWindowTest, IsAVisibleWindowWhoseClientAreaHasTheAskedSizeAndStartsBlack) {
  host::HostWindow window(64, 48);
  HWND hwnd = hwndOf(window);
  ASSERT_TRUE(IsWindow(hwnd));
  EXPECT_TRUE(IsWindowVisible(hwnd));
  RECT client;
  ASSERT_TRUE(GetClientRect(hwnd, &client));
  EXPECT_EQ(client.right - client.left, 64);
  EXPECT_EQ(client.bottom - client.top, 48);
  EXPECT_EQ(window.width(), 64);
  EXPECT_EQ(window.height(), 48);
  int32_t w = 0, h = 0;
  std::vector<uint32_t> pixels = window.readPixels(&w, &h);
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 48);
  ASSERT_EQ(pixels.size(), 64u * 48u);
  EXPECT_EQ(countOf(pixels, 0), 64 * 48);
}

TEST(HostWindowTest, ReadsBackWhatGdiDrewWithRedInTheHighByte) {
  host::HostWindow window(40, 30);
  EXPECT_EQ(window.generation(), 0u);
  fill(window, 10, 5, 20, 15, RGB(0x12, 0x34, 0x56));
  int32_t w = 0, h = 0;
  std::vector<uint32_t> pixels = window.readPixels(&w, &h);
  ASSERT_EQ(pixels.size(), 40u * 30u);
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 40; ++x) {
      bool inside = x >= 10 && x < 20 && y >= 5 && y < 15;
      ASSERT_EQ(pixels[y * 40 + x] & 0x00FFFFFFu, inside ? 0x123456u : 0u) << x << "," << y;
    }
  }
  EXPECT_EQ(window.pixel(10, 5), 0x123456u);
  EXPECT_EQ(window.pixel(19, 14), 0x123456u);
  EXPECT_EQ(window.pixel(20, 14), 0u);
  EXPECT_EQ(window.pixel(-1, 0), 0u);
  EXPECT_EQ(window.pixel(40, 0), 0u);
}

// Each drawing call into the window counts; the engine's own reading and clearing do not.
TEST(HostWindowTest, CountsEachDrawingIntoItsWindowOnly) {
  host::HostWindow window(20, 20);
  host::HostWindow other(20, 20);
  EXPECT_EQ(window.generation(), 0u);
  fill(window, 0, 0, 5, 5, RGB(1, 2, 3));
  EXPECT_EQ(window.generation(), 1u);
  fill(window, 5, 5, 10, 10, RGB(1, 2, 3));
  EXPECT_EQ(window.generation(), 2u);
  EXPECT_EQ(other.generation(), 0u);
  window.readPixels(nullptr, nullptr);
  window.pixel(1, 1);
  window.resize(25, 25);
  EXPECT_EQ(window.generation(), 2u);
  HDC screen = GetDC(nullptr);
  RECT corner = {0, 0, 1, 1};
  FillRect(screen, &corner, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  ReleaseDC(nullptr, screen);
  HDC dc = GetDC(hwndOf(window));
  EXPECT_TRUE(BitBlt(dc, 0, 0, 2, 2, dc, 3, 3, SRCCOPY));
  ReleaseDC(hwndOf(window), dc);
  EXPECT_EQ(window.generation(), 3u);
  EXPECT_EQ(other.generation(), 0u);
}

// A distinct colour per pixel, copied 1:1 from a bottom-up DIB: the read-back keeps rows and
// columns in place.
TEST(HostWindowTest, KeepsEveryPixelOfAOneToOneCopyInPlace) {
  const int w = 37, h = 23;  // odd sizes: no row padding hides a stride error
  host::HostWindow window(w, h);
  std::vector<uint32_t> source(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) source[static_cast<size_t>(h - 1 - y) * w + x] = (x << 16) | (y << 8) | ((x * y) & 0xFF);
  }
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;  // bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC dc = GetDC(hwndOf(window));
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(SetDIBitsToDevice(dc, 0, 0, w, h, 0, 0, 0, h, source.data(), &info, DIB_RGB_COLORS), h);
  ReleaseDC(hwndOf(window), dc);

  int32_t rw = 0, rh = 0;
  std::vector<uint32_t> pixels = window.readPixels(&rw, &rh);
  ASSERT_EQ(pixels.size(), source.size());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint32_t expected = (x << 16) | (y << 8) | ((x * y) & 0xFF);
      ASSERT_EQ(pixels[static_cast<size_t>(y) * w + x] & 0x00FFFFFFu, expected) << x << "," << y;
    }
  }
}

TEST(HostWindowTest, TwoWindowsOfOneProcessDoNotCoverEachOther) {
  host::HostWindow first(50, 40);
  host::HostWindow second(60, 30);
  fill(first, 0, 0, 50, 40, RGB(255, 0, 0));
  fill(second, 0, 0, 60, 30, RGB(0, 0, 255));
  EXPECT_EQ(countOf(first.readPixels(nullptr, nullptr), 0xFF0000u), 50 * 40);
  EXPECT_EQ(countOf(second.readPixels(nullptr, nullptr), 0x0000FFu), 60 * 30);
  RECT a, b, overlap;
  GetWindowRect(hwndOf(first), &a);
  GetWindowRect(hwndOf(second), &b);
  EXPECT_FALSE(IntersectRect(&overlap, &a, &b));
}

TEST(HostWindowTest, ResizeChangesTheClientAreaAndClearsIt) {
  host::HostWindow window(30, 20);
  fill(window, 0, 0, 30, 20, RGB(0, 255, 0));
  window.resize(45, 25);
  EXPECT_EQ(window.width(), 45);
  EXPECT_EQ(window.height(), 25);
  RECT client;
  GetClientRect(hwndOf(window), &client);
  EXPECT_EQ(client.right, 45);
  EXPECT_EQ(client.bottom, 25);
  int32_t w = 0, h = 0;
  std::vector<uint32_t> pixels = window.readPixels(&w, &h);
  EXPECT_EQ(w, 45);
  EXPECT_EQ(h, 25);
  ASSERT_EQ(pixels.size(), 45u * 25u);
  EXPECT_EQ(countOf(pixels, 0), 45 * 25);
  fill(window, 40, 20, 45, 25, RGB(0, 255, 0));
  EXPECT_EQ(window.pixel(44, 24), 0x00FF00u);
  EXPECT_EQ(window.pixel(39, 19), 0u);
}

// A thread function of its own: CreateThread calls it __stdcall, which on 32-bit Windows a
// lambda's plain function pointer is not.
DWORD WINAPI fillLeftHalfFromThisThread(void* target) {
  HWND hwnd = static_cast<HWND>(target);
  HDC dc = GetDC(hwnd);
  if (!dc) return 1;
  HBRUSH brush = CreateSolidBrush(RGB(0xAB, 0xCD, 0xEF));
  RECT area = {0, 0, 16, 32};
  FillRect(dc, &area, brush);
  DeleteObject(brush);
  ReleaseDC(hwnd, dc);
  return 0;
}

TEST(HostWindowTest, ContentDrawnFromAnotherThreadIsReadBack) {
  host::HostWindow window(32, 32);
  HWND hwnd = hwndOf(window);
  HANDLE thread = CreateThread(nullptr, 0, fillLeftHalfFromThisThread, hwnd, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  DWORD code = 1;
  GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  ASSERT_EQ(code, 0u);
  std::vector<uint32_t> pixels = window.readPixels(nullptr, nullptr);
  EXPECT_EQ(countOf(pixels, 0xABCDEFu), 16 * 32);
  EXPECT_EQ(countOf(pixels, 0), 16 * 32);
}

TEST(HostWindowTest, TheWindowIsGoneAfterDestruction) {
  HWND hwnd = nullptr;
  {
    host::HostWindow window(8, 8);
    hwnd = hwndOf(window);
    ASSERT_TRUE(IsWindow(hwnd));
  }
  EXPECT_FALSE(IsWindow(hwnd));
}

}  // namespace
