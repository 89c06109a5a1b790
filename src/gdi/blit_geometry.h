// Where a channel is drawn and which part of its surface: pure arithmetic on the channel's
// rectangles, with no GDI call, so that any four values the engine sends give defined pixel
// numbers within the 32-bit range GDI takes.
#pragma once

#include <cstdint>

#include "framework/geometry.h"

namespace KMC {

struct DrawingArea;

// Pixel edges of a rectangle, right and bottom exclusive.
struct PixelEdges {
  int32_t left, top, right, bottom;
};

// A rectangle as StretchBlt takes it: origin and extent, a negative extent mirroring.
struct BlitRect {
  int32_t x, y, width, height;
};

// The output rectangle place (fractions of the drawing area) in pixels of the area. A negative
// extent asks for the frame's own size, frameWidth x frameHeight, from the left or top edge.
PixelEdges destinationEdges(const RectFloat& place, int32_t frameWidth, int32_t frameHeight,
                            const DrawingArea& area);

// Where StretchBlt draws the channel in the back buffer: place's edges as origin and extent,
// a vertically mirrored place (bottom above top) with a negative height over the same rows.
BlitRect destinationBlit(const PixelEdges& edges, const RectFloat& place);

// Whether a drawing at rect (negative extents mirroring, as StretchBlt takes them) covers
// every pixel of the area from (0, 0) to width x height, right and bottom exclusive.
bool covers(const BlitRect& rect, int64_t width, int64_t height);

// The part of a surfaceWidth x surfaceHeight surface to show: the channel's picture rectangle;
// without one, the size of the shown frame's picture (framePicture, empty when the frame has
// none) or else frameWidth x frameHeight, from the top left corner. A picture rectangle that
// does not lie inside the surface (kept from an earlier, larger frame) gives the whole surface,
// so no pixel that was never uploaded is shown.
BlitRect sourceBlit(const RectInt& channelPicture, const RectInt& framePicture, int32_t frameWidth,
                    int32_t frameHeight, int32_t surfaceWidth, int32_t surfaceHeight);

}  // namespace KMC
