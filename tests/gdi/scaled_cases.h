// Scaled channels and what the window must show for them, computed straight from the
// resampling library (src/resample) without the renderer or GDI: black, then each layer's
// picture resampled onto its destination rectangle, the mask ANDed and the picture ORed where
// a layer has transparent pixels. The window test of the loaded plug-in compares its window with
// this on every platform, and scaled_reference (built on Linux) writes it to files that the
// Windows run compares with too, so both platforms are held to the same bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "resample/halftone.h"
#include "resample/stretch_axis.h"

namespace scaled_cases {

// A frame's colour at (x, y): a different value for nearly every pixel, so a shifted, flipped
// or mis-weighted pixel shows. With holes, about one pixel in nine is transparent (top byte 0,
// colour bytes kept, as decoders leave them); the others have top bytes 0x80 to 0xFF.
inline uint32_t framePixel(int32_t x, int32_t y, bool holes) {
  uint32_t h = uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u;
  h ^= h >> 13;
  const uint32_t colour = (h * 0x9E3779B1u) >> 8;
  if (holes && (x * 7 + y * 3) % 9 == 0) return colour;
  return 0x80000000u | (h & 0x7F000000u) | colour;
}

// One channel: a frame of frameWidth x frameHeight ("BGRA" with holes, or "BGRX"), shown at
// the output rectangle place (fractions of the drawing area), which the renderer draws as the
// pixel rectangle (x, y, width, height) from the source rectangle (0, 0, sourceWidth,
// sourceHeight) of the frame, a negative extent mirroring.
struct Layer {
  bool holes;
  int32_t frameWidth, frameHeight;
  int32_t pictureHeight;  // the frame's picture rectangle (0, 0, frameWidth, pictureHeight); 0: none
  float place[4];          // left, top, right, bottom
  int32_t x, y, width, height;
};

struct Case {
  const char* name;
  int32_t windowWidth, windowHeight;
  Layer layers[2];
  int layerCount;
};

// GoogleTest names a case by its name.
inline void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

// Sizes of the renderer's everyday work, odd and extreme ones, mirroring and clipping.
inline std::vector<Case> cases() {
  return {
      // 320 x 180 enlarged 2x across and 2.67x down.
      {"Enlarged", 640, 480, {{false, 320, 180, 0, {0, 0, 1, 1}, 0, 0, 640, 480}}, 1},
      // 1280 x 720 shrunk by 2.67 and 1.71 into a centred part of the window.
      {"Shrunk", 640, 480, {{false, 1280, 720, 0, {0.125f, 0.0625f, 0.875f, 0.9375f}, 80, 30, 480, 420}}, 1},
      // Odd sizes both ways: 333 x 187 into 255 x 225.
      {"OddSizes", 640, 480, {{false, 333, 187, 0, {0.25f, 0.125f, 0.6484375f, 0.59375f}, 160, 60, 255, 225}}, 1},
      // Bottom above top: the frame's own height, upside down, while the width is doubled.
      {"MirroredWhileScaled", 640, 480, {{false, 320, 480, 0, {0, 0, 1, -1}, 0, 479, 640, -480}}, 1},
      // Half the picture beyond the left edge and below the bottom.
      {"ClippedAtTheEdges", 640, 480, {{false, 200, 150, 0, {-0.25f, 0.5f, 0.75f, 1.5f}, -160, 240, 640, 480}}, 1},
      // Only the picture rectangle of a 720 x 592 frame (its top 576 rows) is shown.
      {"PictureRectangle", 640, 480, {{false, 720, 592, 576, {0, 0, 1, 1}, 0, 0, 640, 480}}, 1},
      // A scaled overlay with holes over a scaled picture: mask and picture follow one rule.
      {"TransparentOverlay", 640, 480,
       {{false, 1280, 720, 0, {0, 0, 1, 1}, 0, 0, 640, 480},
        {true, 160, 90, 0, {0.25f, 0.25f, 0.75f, 0.75f}, 160, 120, 320, 240}}, 2},
      // 1 x 1 stretched over the whole window, and a 4096 x 16 frame into a 5-pixel column.
      {"ExtremeRatios", 640, 480,
       {{false, 1, 1, 0, {0, 0, 1, 1}, 0, 0, 640, 480},
        {false, 4096, 16, 0, {0.5f, 0, 0.5078125f, 1}, 320, 0, 5, 480}}, 2},
  };
}

// The frame's pixels as the renderer keeps them, top row first: a transparent pixel's colour is
// 0 in the picture, and the mask is all ones there and 0 elsewhere.
inline void surfacePixels(const Layer& layer, std::vector<uint32_t>& picture, std::vector<uint32_t>& mask) {
  const int32_t rows = layer.pictureHeight ? layer.pictureHeight : layer.frameHeight;
  picture.assign(size_t(layer.frameWidth) * rows, 0);
  mask.assign(picture.size(), 0);
  for (int32_t y = 0; y < rows; ++y) {
    for (int32_t x = 0; x < layer.frameWidth; ++x) {
      const uint32_t p = framePixel(x, y, layer.holes);
      const bool hole = layer.holes && (p >> 24) == 0;
      picture[size_t(y) * layer.frameWidth + x] = hole ? 0 : p;
      mask[size_t(y) * layer.frameWidth + x] = hole ? 0xFFFFFFFFu : 0;
    }
  }
}

// The window's colour bytes (0x00RRGGBB), top row first.
inline std::vector<uint32_t> expectedWindow(const Case& c) {
  // The renderer composes into a back buffer one pixel larger than the window and copies the
  // window's part of it.
  const int32_t backWidth = c.windowWidth + 1, backHeight = c.windowHeight + 1;
  std::vector<uint32_t> back(size_t(backWidth) * backHeight, 0);
  resample::HeapScratchPictures scratch;
  for (int i = 0; i < c.layerCount; ++i) {
    const Layer& layer = c.layers[i];
    std::vector<uint32_t> picture, mask;
    surfacePixels(layer, picture, mask);
    const int32_t rows = int32_t(picture.size() / layer.frameWidth);
    resample::StretchAxis x(layer.x, layer.width, 0, layer.frameWidth);
    resample::StretchAxis y(layer.y, layer.height, 0, rows);
    if (!x.clip(backWidth, layer.frameWidth) || !y.clip(backHeight, rows)) continue;
    std::vector<uint32_t> scaledPicture(size_t(x.visibleLength()) * y.visibleLength());
    std::vector<uint32_t> scaledMask(scaledPicture.size());
    bool transparent = false;
    for (uint32_t m : mask) transparent |= m != 0;
    resample::SourcePixels source{picture.data(), layer.frameWidth, layer.frameWidth, rows};
    resample::HalftoneResampling(source, x, y, scratch).write(0, y.visibleLength(), scaledPicture.data(), x.visibleLength());
    source.data = mask.data();
    resample::HalftoneResampling(source, x, y, scratch).write(0, y.visibleLength(), scaledMask.data(), x.visibleLength());
    for (int row = 0; row < y.visibleLength(); ++row) {
      uint32_t* to = back.data() + size_t(y.visibleStart() + row) * backWidth + x.visibleStart();
      for (int column = 0; column < x.visibleLength(); ++column) {
        const size_t at = size_t(row) * x.visibleLength() + column;
        to[column] = transparent ? (to[column] & scaledMask[at]) | scaledPicture[at] : scaledPicture[at];
      }
    }
  }
  std::vector<uint32_t> window;
  for (int32_t row = 0; row < c.windowHeight; ++row) {
    for (int32_t column = 0; column < c.windowWidth; ++column) {
      window.push_back(back[size_t(row) * backWidth + column] & 0x00FFFFFFu);
    }
  }
  return window;
}

// The file scaled_reference writes for a case: the window's colour bytes, little-endian words.
inline std::string referenceFile(const std::string& folder, const Case& c) {
  return folder + "/" + c.name + ".bgrx";
}

}  // namespace scaled_cases
