// HALFTONE resampling of 32-bit pixels: what a stretched copy in GDI's HALFTONE mode puts in
// each destination pixel. Shrinking averages every source pixel a destination pixel covers
// (exact 2:1 box halvings while the ratio is 2 or more, then one bilinear step for the ratio
// left below 2); enlarging interpolates bilinearly; both on pixman with its edges padded.
//
// The software GDI's StretchBlt (HALFTONE) and the renderer, which resamples a scaled channel
// itself before a 1:1 copy, both compute their pixels here, so the two give the same bytes for
// the same source and rectangles on every platform. Everything is integer arithmetic (the
// 16.16 transform included), so the result does not depend on the compiler's floating point.
#pragma once

#include <cstddef>
#include <cstdint>

#include "resample/stretch_axis.h"

typedef union pixman_image pixman_image_t;

namespace resample {

// A picture to read: width x height pixels, rows stride pixels apart (negative: rows stored
// upwards in memory from data, which is the top row).
struct SourcePixels {
  const uint32_t* data = nullptr;
  ptrdiff_t stride = 0;
  int width = 0, height = 0;
};

// Memory for the halved intermediate pictures; each caller keeps its own policy (the software
// GDI's pixel pool, the renderer's per-channel buffers). slot is 0 or 1 (two pictures in turn).
class ScratchPictures {
 public:
  // At least `pixels` pixels, valid until the next take of the same slot; null when no memory
  // can be had.
  virtual uint32_t* take(int slot, size_t pixels) = 0;

 protected:
  ~ScratchPictures() = default;
};

// Scratch pictures in two growing heap buffers, kept between uses: a caller that resamples the
// same sizes again allocates nothing.
class HeapScratchPictures : public ScratchPictures {
 public:
  HeapScratchPictures() = default;
  ~HeapScratchPictures();
  HeapScratchPictures(const HeapScratchPictures&) = delete;
  HeapScratchPictures& operator=(const HeapScratchPictures&) = delete;
  uint32_t* take(int slot, size_t pixels) override;

 private:
  uint32_t* buffers_[2] = {nullptr, nullptr};
  size_t sizes_[2] = {0, 0};
};

// One HALFTONE resampling of the source run of two clipped axes onto their visible destination
// run. Pixel (0, 0) of what it writes is the first visible destination pixel
// (x.visibleStart(), y.visibleStart()).
class HalftoneResampling {
 public:
  // Reads the source run of x and y (clipped with StretchAxis::clip against source's size) and
  // prepares the resampling; the source must stay unchanged until write() is done. Scratch
  // pictures come from scratch. ready() is false when one could not be had.
  HalftoneResampling(const SourcePixels& source, const StretchAxis& x, const StretchAxis& y,
                     ScratchPictures& scratch);
  ~HalftoneResampling();
  HalftoneResampling(const HalftoneResampling&) = delete;
  HalftoneResampling& operator=(const HalftoneResampling&) = delete;

  bool ready() const { return image_ != nullptr; }
  int width() const { return width_; }    // visible destination pixels of a row
  int height() const { return height_; }  // visible destination rows
  // Writes the visible rows [row, row + rows) into out, rows stride pixels apart (stride at
  // least width(); negative: upwards in memory). Nothing when not ready.
  void write(int row, int rows, uint32_t* out, ptrdiff_t stride) const;

 private:
  pixman_image_t* image_ = nullptr;
  int width_ = 0, height_ = 0;
};

}  // namespace resample
