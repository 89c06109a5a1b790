#include "gdi/selected_bitmap.h"

namespace KMC {

bool createSelectedBitmap(HDC reference, int32_t width, int32_t height, HDC& dc, HBITMAP& bitmap,
                          HGDIOBJ& previous) {
  dc = CreateCompatibleDC(reference);
  bitmap = dc ? CreateCompatibleBitmap(reference, width, height) : nullptr;
  previous = bitmap ? SelectObject(dc, bitmap) : nullptr;
  if (previous) return true;
  if (bitmap) DeleteObject(bitmap);
  if (dc) DeleteDC(dc);
  dc = nullptr;
  bitmap = nullptr;
  return false;
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
