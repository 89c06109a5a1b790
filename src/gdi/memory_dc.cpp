#include "gdi/memory_dc.h"

namespace KMC {

bool MemoryDC::makeCompatible(HDC reference, int32_t width, int32_t height) {
  reset();
  return adopt(reference, CreateCompatibleBitmap(reference, width, height), nullptr);
}

bool MemoryDC::makeSection(HDC reference, const BITMAPINFO& info) {
  reset();
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  return adopt(reference, section, bits);
}

bool MemoryDC::adopt(HDC reference, HBITMAP made, void* bits) {
  HDC dc = made ? CreateCompatibleDC(reference) : nullptr;
  HGDIOBJ previous = dc ? SelectObject(dc, made) : nullptr;
  if (!previous) {
    if (dc) DeleteDC(dc);
    if (made) DeleteObject(made);
    return false;
  }
  dc_ = dc;
  bitmap_ = made;
  previous_ = previous;
  pixels_ = static_cast<uint32_t*>(bits);
  return true;
}

void MemoryDC::reset() {
  if (!previous_) return;
  SelectObject(dc_, previous_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
  dc_ = nullptr;
  bitmap_ = nullptr;
  previous_ = nullptr;
  pixels_ = nullptr;
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

}  // namespace KMC
