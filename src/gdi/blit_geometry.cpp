#include "gdi/blit_geometry.h"

#include <algorithm>

#include "gdi/drawing_area.h"

namespace KMC {

namespace {

// A 64-bit pixel coordinate brought into the 32-bit range GDI takes.
int32_t clampToInt32(int64_t value) {
  return static_cast<int32_t>(std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, value)));
}

// A fraction of the drawing area in pixels, truncated toward zero; NaN gives 0 and values
// beyond 32 bits the nearest end, so the conversion is always defined.
int32_t toPixel(double value) {
  if (!(value == value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(value);
}

}  // namespace

PixelEdges destinationEdges(const RectFloat& place, int32_t frameWidth, int32_t frameHeight,
                            const DrawingArea& area) {
  const double areaWidth = static_cast<double>(area.width);
  const double areaHeight = static_cast<double>(area.height);
  PixelEdges edges;
  edges.left = toPixel(areaWidth * place.left);
  edges.top = toPixel(areaHeight * place.top);
  edges.right = place.right - place.left < 0 ? clampToInt32(int64_t(edges.left) + frameWidth)
                                             : toPixel(areaWidth * place.right);
  edges.bottom = place.bottom - place.top < 0 ? clampToInt32(int64_t(edges.top) + frameHeight)
                                              : toPixel(areaHeight * place.bottom);
  return edges;
}

BlitRect destinationBlit(const PixelEdges& edges, const RectFloat& place) {
  BlitRect destination{edges.left, edges.top, clampToInt32(int64_t(edges.right) - edges.left),
                       clampToInt32(int64_t(edges.bottom) - edges.top)};
  if (place.bottom < place.top) {
    // A negative height covers the rows from y upwards, so y is the last row of the
    // rectangle, and the picture covers the same rows as an upright one.
    destination.y = clampToInt32(int64_t(edges.bottom) - 1);
    destination.height = clampToInt32(int64_t(edges.top) - edges.bottom);
  }
  return destination;
}

bool covers(const BlitRect& rect, int64_t width, int64_t height) {
  // A negative extent covers the pixels from the origin back: x + extent + 1 to x.
  auto span = [](int32_t origin, int32_t extent, int64_t& first, int64_t& end) {
    first = extent < 0 ? int64_t(origin) + extent + 1 : origin;
    end = extent < 0 ? int64_t(origin) + 1 : int64_t(origin) + extent;
  };
  int64_t left, right, top, bottom;
  span(rect.x, rect.width, left, right);
  span(rect.y, rect.height, top, bottom);
  return left <= 0 && top <= 0 && right >= width && bottom >= height;
}

BlitRect sourceBlit(const RectInt& channelPicture, const RectInt& framePicture, int32_t frameWidth,
                    int32_t frameHeight, int32_t surfaceWidth, int32_t surfaceHeight) {
  int64_t x = 0, y = 0, width = frameWidth, height = frameHeight;
  if (channelPicture.isNonEmpty()) {
    x = channelPicture.left;
    y = channelPicture.top;
    width = int64_t(channelPicture.right) - channelPicture.left;
    height = int64_t(channelPicture.bottom) - channelPicture.top;
  } else if (framePicture.isNonEmpty()) {
    width = int64_t(framePicture.right) - framePicture.left;
    height = int64_t(framePicture.bottom) - framePicture.top;
  }
  if (x < 0 || y < 0 || x + width > surfaceWidth || y + height > surfaceHeight) {
    return BlitRect{0, 0, surfaceWidth, surfaceHeight};
  }
  return BlitRect{int32_t(x), int32_t(y), int32_t(width), int32_t(height)};
}

}  // namespace KMC
