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

// Where the scan lines of a call go. Bottom-up DIB: scan line start + i (buffer row i) is DIB
// row |h| - 1 - start - i counted from the top; lines past the DIB's end do not exist. Top-down
// DIB: start counts from the DIB's bottom as well, so buffer row i is row |h| - start - lines + i.
// The DIB's top row is the bitmap's top row; rows outside the bitmap are dropped.
struct ScanLines {
  ScanLines(const BITMAPINFOHEADER& h, int bitmapHeight, UINT start, UINT lines) {
    const int64_t dibHeight = h.biHeight > 0 ? h.biHeight : -int64_t(h.biHeight);
    bottomUp = h.biHeight > 0;
    int64_t count;
    if (bottomUp) {
      count = std::max<int64_t>(0, std::min<int64_t>(lines, dibHeight - start));
      answer = int(count);
      top = dibHeight - 1 - start;
      first = std::max<int64_t>(0, top - bitmapHeight + 1);
      last = std::min<int64_t>(count, top + 1);
    } else {
      count = lines;
      answer = int(std::min<int64_t>(lines, INT32_MAX));
      top = dibHeight - start - int64_t(lines);
      first = std::max<int64_t>(0, -top);
      last = std::min<int64_t>(count, std::min<int64_t>(dibHeight, bitmapHeight) - top);
    }
  }
  int64_t rowOf(int64_t i) const { return bottomUp ? top - i : top + i; }
  bool any() const { return first < last; }
  // The bitmap rows written, as [firstRow, lastRow).
  int64_t firstRow() const { return std::min(rowOf(first), rowOf(last - 1)); }
  int64_t lastRow() const { return std::max(rowOf(first), rowOf(last - 1)) + 1; }

  bool bottomUp;
  int answer;
  int64_t top;          // row of buffer row 0
  int64_t first, last;  // buffer rows that land in the bitmap: [first, last)
};

}  // namespace

int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits,
              const BITMAPINFO* info, UINT usage) {
  if (bits == nullptr || !supported(info, usage)) return 0;
  if (dc != nullptr && !gdi::targetOf(dc).valid) return 0;
  std::shared_ptr<Bitmap> b = gdi::bitmapOf(bitmap);
  if (!b) return 0;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  const size_t rowPixels = size_t(h.biWidth);
  const int columns = int(std::min<int64_t>(h.biWidth, b->width));
  const uint32_t* source = static_cast<const uint32_t*>(bits);
  std::lock_guard<std::mutex> guard(b->lock);
  const ScanLines scans(h, b->height, start, lines);
  if (!scans.any()) return scans.answer;
  // What the rows cover needs no clearing first; a whole bitmap is only copied.
  const gdi::Area written = {0, int(scans.firstRow()), columns, int(scans.lastRow())};
  uint32_t* pixels = b->pixels(&written);
  if (pixels == nullptr) return 0;
  for (int64_t i = scans.first; i < scans.last; ++i) {
    std::memcpy(pixels + scans.rowOf(i) * b->width, source + size_t(i) * rowPixels,
                size_t(columns) * 4);
  }
  return scans.answer;
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
  const ScanLines scans(h, b->height, start, lines);
  for (int64_t i = scans.first; i < scans.last; ++i) {
    uint32_t* to = dest + size_t(i) * rowPixels;
    if (b->blank()) {
      std::memset(to, 0, copyPixels * 4);  // black, without giving the bitmap memory
    } else {
      std::memcpy(to, b->pixels() + scans.rowOf(i) * b->width, copyPixels * 4);
    }
  }
  return scans.answer;
}
