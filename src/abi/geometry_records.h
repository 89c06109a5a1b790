// The engine's geometry values as they lie in memory and travel by value.
//
// The engine's rectangles are polymorphic objects: a table pointer, then the four edges. The
// records below are those objects as plain data, so that they are passed and read the same way
// whichever compiler builds either side. The plug-in reads and writes only the edges; the table
// pointer stays whatever the engine put there.
#pragma once

#include <cstddef>
#include <cstdint>

namespace KMC {

// The engine's RectInt: window and picture pixels, both edges counted.
struct RectIntRecord {
  const void* table;
  int32_t left, top, right, bottom;
};

// The engine's RectFloat: fractions of a picture or of the output area.
struct RectFloatRecord {
  const void* table;
  double left, top, right, bottom;
};

// Four factors with a mask of which are set (bit i: component i). Plain in the engine too.
struct MaskedFloat4 {
  float components[4];
  int32_t mask;

  MaskedFloat4() : components{1.0f, 1.0f, 1.0f, 1.0f}, mask(15) {}
  MaskedFloat4(float a, float b, float c, float d, int32_t m) : components{a, b, c, d}, mask(m) {}
  float& operator[](int i) { return components[i]; }
  float operator[](int i) const { return components[i]; }

  // Copies every component whose bit is set in source and sets that bit here.
  void merge(const MaskedFloat4& source) {
    if (&source == this) return;
    for (int i = 0; i < 4; ++i) {
      if (source.mask & (1 << i)) {
        components[i] = source.components[i];
        mask |= (1 << i);
      }
    }
  }
};

}  // namespace KMC
