// DIB upload and read-back: SetDIBits and GetDIBits for 32-bit BI_RGB DIBs.
#ifdef _WIN32
#error "posix/software_gdi_dib.cpp is the POSIX platform layer"
#endif
#include "platform/posix/software_gdi_internal.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

using gdi::Bitmap;

// Copies n pixels with stores that bypass the cache where the processor has them: a whole
// bitmap's upload then writes its memory once, without first reading every line of it into
// the cache (as ordinary stores do) and without pushing out what the cache holds.
void streamPixels(uint32_t* __restrict to, const uint32_t* __restrict from, size_t n) {
#if defined(__SSE2__)
  size_t i = 0;
  for (; i < n && (reinterpret_cast<uintptr_t>(to + i) & 15) != 0; ++i) to[i] = from[i];
  for (; i + 16 <= n; i += 16) {
    const __m128i* s = reinterpret_cast<const __m128i*>(from + i);
    __m128i a = _mm_loadu_si128(s), b = _mm_loadu_si128(s + 1), c = _mm_loadu_si128(s + 2),
            d = _mm_loadu_si128(s + 3);
    __m128i* t = reinterpret_cast<__m128i*>(to + i);
    _mm_stream_si128(t, a);
    _mm_stream_si128(t + 1, b);
    _mm_stream_si128(t + 2, c);
    _mm_stream_si128(t + 3, d);
  }
  for (; i < n; ++i) to[i] = from[i];
#else
  std::memcpy(to, from, n * 4);
#endif
}

void streamed() {
#if defined(__SSE2__)
  _mm_sfence();  // the streamed stores are seen before the bitmap's lock is released
#endif
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
  if (bits == nullptr || !gdi::dibSupported(info, usage)) return 0;
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
  const bool whole = columns == b->width && written.top == 0 && written.bottom == b->height;
  for (int64_t i = scans.first; i < scans.last; ++i) {
    uint32_t* to = pixels + scans.rowOf(i) * b->stride();
    const uint32_t* from = source + size_t(i) * rowPixels;
    if (whole) {
      streamPixels(to, from, size_t(columns));
    } else {
      std::memcpy(to, from, size_t(columns) * 4);
    }
  }
  if (whole) streamed();
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
  if (!gdi::dibSupported(info, usage)) return 0;
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
      std::memcpy(to, b->pixels() + scans.rowOf(i) * b->stride(), copyPixels * 4);
    }
  }
  return scans.answer;
}
