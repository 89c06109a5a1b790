// DIB upload and read-back: SetDIBits and GetDIBits for 32-bit BI_RGB DIBs.
#ifdef _WIN32
#error "posix/gdi_dib.cpp is the POSIX platform layer"
#endif
#include "platform/posix/gdi_internal.h"

#include <algorithm>
#include <cstring>

namespace {

using gdi::Bitmap;

bool supported(const BITMAPINFO* info, UINT usage) {
  if (info == nullptr || usage != DIB_RGB_COLORS) return false;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  return h.biSize >= sizeof(BITMAPINFOHEADER) && h.biBitCount == 32 &&
         h.biCompression == BI_RGB && h.biWidth > 0 && h.biHeight != 0 &&
         h.biHeight != INT32_MIN;
}

// Calls copyRow(bitmapRow, dibRowIndexFromBits) for each of the given scan lines that lands in
// the bitmap, and answers the number of scan lines the DIB has in [start, start + lines).
template <class CopyRow>
int forEachScanLine(const BITMAPINFOHEADER& h, const Bitmap& bitmap, UINT start, UINT lines,
                    CopyRow copyRow) {
  const int64_t dibHeight = h.biHeight > 0 ? h.biHeight : -int64_t(h.biHeight);
  if (int64_t(start) >= dibHeight) return 0;
  const int64_t count = std::min<int64_t>(lines, dibHeight - start);
  for (int64_t i = 0; i < count; ++i) {
    const int64_t scan = int64_t(start) + i;
    // The DIB's top row is the bitmap's top row.
    const int64_t row = h.biHeight > 0 ? dibHeight - 1 - scan : scan;
    if (row < bitmap.height) copyRow(int(row), size_t(i));
  }
  return int(count);
}

}  // namespace

int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits,
              const BITMAPINFO* info, UINT usage) {
  if (bits == nullptr || !supported(info, usage)) return 0;
  if (dc != nullptr && !gdi::targetOf(dc).valid) return 0;
  std::shared_ptr<Bitmap> b = gdi::bitmapOf(bitmap);
  if (!b) return 0;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  const size_t rowPixels = size_t(h.biWidth);
  const size_t copyBytes = std::min<size_t>(rowPixels, size_t(b->width)) * 4;
  const uint32_t* source = static_cast<const uint32_t*>(bits);
  std::lock_guard<std::mutex> guard(b->lock);
  return forEachScanLine(h, *b, start, lines, [&](int row, size_t index) {
    std::memcpy(b->pixels + size_t(row) * size_t(b->width), source + index * rowPixels,
                copyBytes);
  });
}

int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info,
              UINT usage) {
  if (info == nullptr || usage != DIB_RGB_COLORS) return 0;
  if (dc != nullptr && !gdi::targetOf(dc).valid) return 0;
  std::shared_ptr<Bitmap> b = gdi::bitmapOf(bitmap);
  if (!b) return 0;
  if (bits == nullptr) {
    BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER)) return 0;
    h.biWidth = b->width;
    h.biHeight = b->height;
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
    h.biSizeImage = DWORD(b->width) * DWORD(b->height) * 4;
    return 1;
  }
  if (!supported(info, usage)) return 0;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  const size_t rowPixels = size_t(h.biWidth);
  const size_t copyPixels = std::min<size_t>(rowPixels, size_t(b->width));
  uint32_t* dest = static_cast<uint32_t*>(bits);
  std::lock_guard<std::mutex> guard(b->lock);
  return forEachScanLine(h, *b, start, lines, [&](int row, size_t index) {
    std::memcpy(dest + index * rowPixels, b->pixels + size_t(row) * size_t(b->width),
                copyPixels * 4);
  });
}
