#include "gdi/selected_bitmap.h"

namespace KMC {

namespace {

// Puts bitmap (made by the caller, null when that failed) into a new memory DC.
bool selectIntoNewDC(HDC reference, HBITMAP made, HDC& dc, HBITMAP& bitmap, HGDIOBJ& previous) {
  bitmap = made;
  dc = bitmap ? CreateCompatibleDC(reference) : nullptr;
  previous = dc ? SelectObject(dc, bitmap) : nullptr;
  if (previous) return true;
  if (dc) DeleteDC(dc);
  if (bitmap) DeleteObject(bitmap);
  dc = nullptr;
  bitmap = nullptr;
  return false;
}

}  // namespace

bool createSelectedBitmap(HDC reference, int32_t width, int32_t height, HDC& dc, HBITMAP& bitmap,
                          HGDIOBJ& previous) {
  return selectIntoNewDC(reference, CreateCompatibleBitmap(reference, width, height), dc, bitmap, previous);
}

bool createSelectedSection(HDC reference, const BITMAPINFO& info, uint32_t*& pixels, HDC& dc,
                           HBITMAP& bitmap, HGDIOBJ& previous) {
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const bool made = selectIntoNewDC(reference, section, dc, bitmap, previous);
  pixels = made ? static_cast<uint32_t*>(bits) : nullptr;
  return made;
}

BITMAPINFO describeDIB(int32_t width, int32_t height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

void deleteSelectedBitmap(HDC& dc, HBITMAP& bitmap, HGDIOBJ& previous) {
  if (previous) {
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    previous = nullptr;
  }
  dc = nullptr;
  bitmap = nullptr;
}

}  // namespace KMC
