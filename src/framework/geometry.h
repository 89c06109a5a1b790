// Rectangles shared by the output, its channels and the video adapters, and their conversions
// from and to the engine's records (abi/geometry_records.h).
#pragma once

#include <cstdint>

#include "abi/geometry_records.h"

namespace KMC {

template <typename T>
class Rect {
 public:
  Rect() : left(0), top(0), right(0), bottom(0) {}
  Rect(T l, T t, T r, T b) : left(l), top(t), right(r), bottom(b) {}
  virtual ~Rect() {}
  virtual T width() const = 0;
  virtual T height() const = 0;

  bool sameEdges(const Rect& other) const {
    return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
  }

  T left, top, right, bottom;
};

// Window and picture pixels; both edges count: (0, 0, 0, 0) is one pixel.
class RectInt : public Rect<int32_t> {
 public:
  RectInt() {}
  RectInt(int32_t l, int32_t t, int32_t r, int32_t b) : Rect<int32_t>(l, t, r, b) {}
  // The edges of an engine rectangle; its table pointer is not read.
  explicit RectInt(const RectIntRecord& record)
      : Rect<int32_t>(record.left, record.top, record.right, record.bottom) {}
  // Edges far apart give sizes beyond 32 bits: the exact sizes are 64-bit, and the 32-bit
  // ones are those brought to the nearest 32-bit value.
  int64_t exactWidth() const { return int64_t(right) - left + 1; }
  int64_t exactHeight() const { return int64_t(bottom) - top + 1; }
  int32_t width() const override { return saturated(exactWidth()); }
  int32_t height() const override { return saturated(exactHeight()); }
  // The picture-area test of frames: left < right and top < bottom.
  bool isNonEmpty() const { return left < right && top < bottom; }

 private:
  static int32_t saturated(int64_t size) {
    return size > INT32_MAX ? INT32_MAX : size < INT32_MIN ? INT32_MIN : static_cast<int32_t>(size);
  }
};

// Fractions of a picture or of the output area; sizes are plain differences.
class RectFloat : public Rect<double> {
 public:
  RectFloat() {}
  RectFloat(double l, double t, double r, double b) : Rect<double>(l, t, r, b) {}
  explicit RectFloat(const RectFloatRecord& record)
      : Rect<double>(record.left, record.top, record.right, record.bottom) {}
  double width() const override { return right - left; }
  double height() const override { return bottom - top; }
  bool isValid() const { return right > left && bottom > top; }

  // Writes the edges into an engine rectangle, leaving its table pointer alone.
  void storeInto(RectFloatRecord* record) const {
    record->left = left;
    record->top = top;
    record->right = right;
    record->bottom = bottom;
  }
};

}  // namespace KMC
