// Where a channel lands for any four values the engine may send: every result is a defined
// 32-bit number (a float-to-int conversion out of range is undefined behaviour, which the
// sanitizer build traps), and the source never reaches outside the uploaded surface.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "gdi/blit_geometry.h"
#include "gdi/drawing_area.h"

namespace {

using KMC::BlitRect;
using KMC::DrawingArea;
using KMC::PixelEdges;
using KMC::RectFloat;
using KMC::RectInt;

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

BlitRect destination(const RectFloat& place, const DrawingArea& area, int32_t frameWidth = 64, int32_t frameHeight = 48) {
  return KMC::destinationBlit(KMC::destinationEdges(place, frameWidth, frameHeight, area), place);
}

TEST(BlitGeometry, ExtremeOutputRectanglesGiveDefinedPixels) {
  const DrawingArea area(RectInt(0, 0, 99, 49));  // 100 x 50
  BlitRect to = destination(RectFloat(0.25f, 0.5f, 0.75f, 1.0f), area);
  EXPECT_EQ(to.x, 25);
  EXPECT_EQ(to.y, 25);
  EXPECT_EQ(to.width, 50);
  EXPECT_EQ(to.height, 25);

  // Bottom above top: the frame's own height from the top edge, upside down on the same rows
  // (the last of them first).
  to = destination(RectFloat(0.0f, 0.5f, 1.0f, 0.0f), area, 64, 48);
  EXPECT_EQ(to.y, 25 + 48 - 1);
  EXPECT_EQ(to.height, -48);

  // Right left of left: the frame's own width from the left edge, not a mirror.
  to = destination(RectFloat(0.5f, 0.0f, 0.25f, 1.0f), area, 64, 48);
  EXPECT_EQ(to.x, 50);
  EXPECT_EQ(to.width, 64);

  // NaN is 0, infinities and huge fractions the ends of the 32-bit range, and extents between
  // such edges are clamped rather than wrapped.
  to = destination(RectFloat(kNaN, -kInf, kInf, 1e30f), area);
  EXPECT_EQ(to.x, 0);
  EXPECT_EQ(to.y, INT32_MIN);
  EXPECT_EQ(to.width, INT32_MAX);
  EXPECT_EQ(to.height, INT32_MAX);
  to = destination(RectFloat(-1e30f, 0.0f, 1e30f, 1.0f), DrawingArea(RectInt(INT32_MIN, 0, INT32_MAX, 0)));
  EXPECT_EQ(to.x, INT32_MIN);
  EXPECT_EQ(to.width, INT32_MAX);
  // A negative extent from an edge at the end of the range does not overflow.
  to = destination(RectFloat(1e30f, 1e30f, 0.0f, 0.0f), area, INT32_MAX, INT32_MAX);
  EXPECT_EQ(to.x, INT32_MAX);
  EXPECT_EQ(to.width, 0);
}

TEST(BlitGeometry, TheSourceStaysInsideTheUploadedSurface) {
  const RectInt none;
  // The channel's picture rectangle, when it lies inside.
  BlitRect from = KMC::sourceBlit(RectInt(8, 4, 40, 36), none, 64, 48, 64, 48);
  EXPECT_EQ(from.x, 8);
  EXPECT_EQ(from.y, 4);
  EXPECT_EQ(from.width, 32);
  EXPECT_EQ(from.height, 32);
  // Without one, the shown frame's picture size from the top left corner.
  from = KMC::sourceBlit(none, RectInt(2, 2, 34, 18), 64, 48, 64, 48);
  EXPECT_EQ(from.x, 0);
  EXPECT_EQ(from.width, 32);
  EXPECT_EQ(from.height, 16);
  // A picture rectangle kept from a larger frame, or one at the ends of the range: the whole
  // surface, never pixels that were not uploaded.
  for (const RectInt& stale : {RectInt(0, 0, 720, 576), RectInt(-5, 0, 10, 10),
                               RectInt(INT32_MAX - 1, INT32_MAX - 1, INT32_MAX, INT32_MAX),
                               RectInt(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX)}) {
    from = KMC::sourceBlit(stale, none, 720, 576, 32, 16);
    EXPECT_EQ(from.x, 0);
    EXPECT_EQ(from.y, 0);
    EXPECT_EQ(from.width, 32);
    EXPECT_EQ(from.height, 16);
  }
}

}  // namespace
