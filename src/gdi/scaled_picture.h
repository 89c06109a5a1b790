// A scaled channel's picture (and mask) resampled by the renderer itself to the size it is
// drawn at, so that a redraw copies it 1:1 instead of asking GDI to stretch it.
//
// GDI's HALFTONE stretching is the filtering mode, and it is slow where this library lives:
// about 50 ns per output pixel under Wine, 110 ms for a 720p picture in a 1080p window. The
// renderer instead resamples with the same code the software GDI's HALFTONE runs
// (src/resample), once per frame and output rectangle, straight into DIB sections of the
// visible output size, and a redraw without a new frame or a new rectangle resamples nothing. The window then shows
// the same bytes on every platform. Private to the GDI renderer's sources (it names GDI types).
#pragma once

#include <cstdint>

#include "gdi/blit_geometry.h"
#include "gdi/memory_dc.h"
#include "platform/win32.h"
#include "resample/halftone.h"
#include "resample/stretch_axis.h"

namespace KMC {

struct ChannelSurface;

class ScaledPicture {
 public:
  ScaledPicture() = default;
  ~ScaledPicture() { release(); }
  ScaledPicture(const ScaledPicture&) = delete;
  ScaledPicture& operator=(const ScaledPicture&) = delete;

  // Makes the picture (and, when the surface has transparency, the mask) of the surface's
  // current upload resampled onto the visible run of x and y (both clipped), unless the
  // bitmaps already hold exactly that. reference is the DC the bitmaps are made compatible
  // with. False when it cannot be made (no memory, no bitmap): the channel is then not drawn.
  bool update(HDC reference, const ChannelSurface& surface, const resample::StretchAxis& x,
              const resample::StretchAxis& y);
  // Copies what update made into dest at the visible run's place: with transparency, the mask
  // with SRCAND and the picture with SRCPAINT; otherwise the picture with SRCCOPY.
  void draw(HDC dest, bool transparency) const;
  // Where draw puts the picture: the visible run's place and size.
  BlitRect placement() const { return BlitRect{left_, top_, width_, height_}; }
  // Deletes the bitmaps and forgets what they held.
  void release();
  // How many times update has resampled: what the redraws have cost.
  uint64_t resamplings() const { return resamplings_; }

 private:
  // What the bitmaps hold: the upload, the rectangles and the visible run they were made for.
  struct Made {
    uint64_t upload;
    bool mask;
    resample::StretchAxis x, y;
    bool operator==(const Made& o) const {
      return upload == o.upload && mask == o.mask && x == o.x && y == o.y;
    }
  };
  // The picture section of width x height, and the mask section too when withMask; the ones
  // there already serve when their size is right.
  bool makeSections(HDC reference, int width, int height, bool withMask);
  // False when the resampling had no memory for its intermediate pictures.
  bool resampleInto(uint32_t* section, const uint32_t* bottomUpPixels, const ChannelSurface& surface,
                    const resample::StretchAxis& x, const resample::StretchAxis& y);

  MemoryDC image_;  // the sections: top row first, width_ x height_
  MemoryDC mask_;
  int width_ = 0, height_ = 0;  // of the sections
  int left_ = 0, top_ = 0;      // where they are drawn
  bool valid_ = false;          // made_ describes the bitmaps' content
  Made made_{0, false, {0, 0, 0, 0}, {0, 0, 0, 0}};
  uint64_t resamplings_ = 0;
  resample::HeapScratchPictures scratch_;
};

}  // namespace KMC
