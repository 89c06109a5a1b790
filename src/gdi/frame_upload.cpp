#include "gdi/frame_upload.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "abi/engine_objects.h"
#include "framework/geometry.h"
#include "platform/target.h"

namespace KMC {

void frameSurfaceSize(const VideoSample* sample, int32_t* width, int32_t* height) {
  const RectInt picture(sample->picture);
  if (picture.isNonEmpty()) {
    // Edges far apart can give a size beyond 32 bits: such a frame gets no surface (0 x 0).
    const int64_t pictureWidth = static_cast<int64_t>(picture.right) - picture.left;
    const int64_t pictureHeight = static_cast<int64_t>(picture.bottom) - picture.top;
    const bool fits = pictureWidth <= std::numeric_limits<int32_t>::max() &&
                      pictureHeight <= std::numeric_limits<int32_t>::max();
    *width = fits ? static_cast<int32_t>(pictureWidth) : 0;
    *height = fits ? static_cast<int32_t>(pictureHeight) : 0;
  } else {
    *width = sample->width;
    *height = sample->height;
  }
}

bool frameBlockIsReadable(const VideoSample* sample, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return false;
  if (width > sample->width || height > sample->height) return false;
  // A negative stride stores the rows upwards from the first one; either way rows must not
  // overlap.
  const int64_t rowDistance = std::abs(static_cast<int64_t>(sample->stride));
  if (rowDistance < width) return false;
  const int64_t limit = std::numeric_limits<int32_t>::max();
  if (static_cast<int64_t>(width) * height * 4 > limit) return false;
  if (rowDistance * sample->height > limit) return false;
  return true;
}

namespace {

// Kept apart so the compiler sees plain loops over two arrays and vectorises them.
// Copies a row; answers whether one of its pixels is transparent (top byte 0).
TAVORIN_PIXEL_LOOP bool copyRowFindingHoles(const uint32_t* __restrict source, uint32_t* __restrict picture, int32_t width) {
  uint32_t opaque = 0xFFFFFFFFu;
  for (int32_t x = 0; x < width; ++x) {
    uint32_t pixel = source[x];
    picture[x] = pixel;
    opaque &= pixel > 0x00FFFFFFu ? 0xFFFFFFFFu : 0u;
  }
  return opaque == 0;
}

// Copies a row and writes its mask in the same pass. A transparent pixel gets 0 in the picture
// whatever its colour bytes, since the picture is ORed onto what lies below the mask.
TAVORIN_PIXEL_LOOP void copyRowWithMask(const uint32_t* __restrict source, uint32_t* __restrict picture, uint32_t* __restrict mask,
                     int32_t width) {
  for (int32_t x = 0; x < width; ++x) {
    uint32_t pixel = source[x];
    uint32_t hole = (pixel >> 24) == 0 ? 0xFFFFFFFFu : 0u;
    picture[x] = pixel & ~hole;
    mask[x] = hole;
  }
}

}  // namespace

bool copyFramePixels(const uint32_t* source, int32_t stride, int32_t width, int32_t height, bool bottomUp,
                     bool withTransparency, uint32_t* picture, uint32_t* mask) {
  // The mask is only uploaded when a pixel is transparent, so it is written only from the
  // first transparent row on (rows before it get 0): an opaque frame costs one copy.
  bool transparent = false;
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  for (int32_t row = 0; row < height; ++row) {
    const uint32_t* from = source + static_cast<int64_t>(row) * stride;
    int32_t target = bottomUp ? row : height - 1 - row;
    uint32_t* to = picture + static_cast<int64_t>(target) * width;
    if (!withTransparency) {
      std::memcpy(to, from, rowBytes);
      continue;
    }
    uint32_t* maskTo = mask + static_cast<int64_t>(target) * width;
    if (transparent) {
      copyRowWithMask(from, to, maskTo, width);
      continue;
    }
    if (copyRowFindingHoles(from, to, width)) {
      for (int32_t done = 0; done < row; ++done) {
        int32_t doneTarget = bottomUp ? done : height - 1 - done;
        std::memset(mask + static_cast<int64_t>(doneTarget) * width, 0, rowBytes);
      }
      transparent = true;
      copyRowWithMask(from, to, maskTo, width);
    }
  }
  return transparent;
}

}  // namespace KMC
