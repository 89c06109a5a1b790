// Box halving with SSE2 where the compiler targets it, a plain loop elsewhere and for the few
// pixels at the end of a row. Both give the same bytes: (a + b + 1) / 2 for a pair, and
// (a + b + c + d + 2) / 4 for a 2 x 2 block.
#include "resample/box_halving.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace resample {

namespace {

// Mean of four pixels, bytewise, rounded half up: blue and red, then green and the top byte,
// summed in 16-bit lanes that cannot overflow (4 x 255).
inline uint32_t mean4(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  const uint32_t alternateBytes = 0x00FF00FFu;
  const uint32_t halfOfFourInEachLane = 0x00020002u;  // + 2 before / 4 rounds half up
  const uint32_t blueRed = (a & alternateBytes) + (b & alternateBytes) + (c & alternateBytes) +
                           (d & alternateBytes) + halfOfFourInEachLane;
  const uint32_t greenTop = ((a >> 8) & alternateBytes) + ((b >> 8) & alternateBytes) +
                            ((c >> 8) & alternateBytes) + ((d >> 8) & alternateBytes) +
                            halfOfFourInEachLane;
  return ((blueRed >> 2) & alternateBytes) | (((greenTop >> 2) & alternateBytes) << 8);
}

// One output row from source rows r0 and r1 (the same row when only x halves, or for an odd
// last row), starting at output pixel x. A pair (a, b) is averaged as mean4(a, b, a, b).
void halveRowPlain(const uint32_t* r0, const uint32_t* r1, int width, bool halveX, int x,
                   uint32_t* out) {
  if (!halveX) {
    for (; x < width; ++x) out[x] = mean4(r0[x], r0[x], r1[x], r1[x]);
    return;
  }
  const int pairs = width / 2;
  for (; x < pairs; ++x) out[x] = mean4(r0[2 * x], r0[2 * x + 1], r1[2 * x], r1[2 * x + 1]);
  if (width % 2 != 0) out[pairs] = mean4(r0[width - 1], r0[width - 1], r1[width - 1], r1[width - 1]);
}

#if defined(__SSE2__)
// Source pixels 2x .. 2x + 7 split into the even ones and the odd ones (4 each).
inline void evenOdd(const uint32_t* row, __m128i& even, __m128i& odd) {
  const __m128 a = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row)));
  const __m128 b = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4)));
  even = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
  odd = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
}

// Four output pixels at a time; answers the first output pixel left for the plain loop.
int halveRowSSE2(const uint32_t* r0, const uint32_t* r1, int width, bool halveX, bool halveY,
                 uint32_t* out) {
  int x = 0;
  if (!halveX) {
    // Rows only: the byte mean of two rows is exactly what pavgb computes.
    for (; x + 4 <= width; x += 4) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + x));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + x));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_avg_epu8(a, b));
    }
    return x;
  }
  const int pairs = width / 2;
  if (!halveY) {
    for (; x + 4 <= pairs; x += 4) {
      __m128i even, odd;
      evenOdd(r0 + 2 * x, even, odd);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_avg_epu8(even, odd));
    }
    return x;
  }
  const __m128i zero = _mm_setzero_si128();
  const __m128i two = _mm_set1_epi16(2);
  for (; x + 4 <= pairs; x += 4) {
    __m128i e0, o0, e1, o1;
    evenOdd(r0 + 2 * x, e0, o0);
    evenOdd(r1 + 2 * x, e1, o1);
    __m128i low = _mm_add_epi16(_mm_unpacklo_epi8(e0, zero), _mm_unpacklo_epi8(o0, zero));
    low = _mm_add_epi16(low, _mm_add_epi16(_mm_unpacklo_epi8(e1, zero), _mm_unpacklo_epi8(o1, zero)));
    __m128i high = _mm_add_epi16(_mm_unpackhi_epi8(e0, zero), _mm_unpackhi_epi8(o0, zero));
    high = _mm_add_epi16(high, _mm_add_epi16(_mm_unpackhi_epi8(e1, zero), _mm_unpackhi_epi8(o1, zero)));
    low = _mm_srli_epi16(_mm_add_epi16(low, two), 2);
    high = _mm_srli_epi16(_mm_add_epi16(high, two), 2);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(low, high));
  }
  return x;
}
#endif

}  // namespace

void halvePicture(const uint32_t* from, ptrdiff_t stride, int width, int height, bool halveX,
                  bool halveY, uint32_t* to) {
  const int outWidth = halveX ? halvedLength(width) : width;
  const int outHeight = halveY ? halvedLength(height) : height;
  for (int y = 0; y < outHeight; ++y) {
    const int top = halveY ? 2 * y : y;
    const int bottom = halveY && top + 1 < height ? top + 1 : top;
    const uint32_t* r0 = from + top * stride;
    const uint32_t* r1 = from + bottom * stride;
    uint32_t* out = to + ptrdiff_t(y) * outWidth;
    int x = 0;
#if defined(__SSE2__)
    x = halveRowSSE2(r0, r1, width, halveX, halveY, out);
#endif
    halveRowPlain(r0, r1, width, halveX, x, out);
  }
}

}  // namespace resample
