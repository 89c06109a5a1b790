// The pixel pass of frame upload and the guard that decides whether a frame can be read.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "gdi/exact_sample.h"
#include "framework/geometry.h"
#include "gdi/frame_upload.h"

namespace {

using gdi_testing::ExactSample;
using KMC::RectInt;

bool readable(int32_t width, int32_t height, int32_t stride, RectInt picture = RectInt()) {
  ExactSample sample(0, 0);
  sample.setSize(width, height, stride);
  sample.picture = host::rectInt(picture.left, picture.top, picture.right, picture.bottom);
  int32_t w = -1, h = -1;
  KMC::frameSurfaceSize(&sample, &w, &h);
  return KMC::frameBlockIsReadable(&sample, w, h);
}

TEST(FrameGuard, AcceptsBlocksInsideTheFrame) {
  EXPECT_TRUE(readable(16, 16, 16));
  EXPECT_TRUE(readable(16, 16, 20));                        // padded rows
  EXPECT_TRUE(readable(720, 592, 720, RectInt(0, 0, 720, 576)));
  EXPECT_TRUE(readable(1, 1, 1));
  EXPECT_TRUE(readable(16, 16, -16));                       // rows stored upwards
  EXPECT_TRUE(readable(16, 16, -20));
}

TEST(FrameGuard, RefusesEverySizeThatReachesOutside) {
  EXPECT_FALSE(readable(0, 16, 16));
  EXPECT_FALSE(readable(16, 0, 16));
  EXPECT_FALSE(readable(-16, 16, 16));
  EXPECT_FALSE(readable(16, -16, 16));
  EXPECT_FALSE(readable(16, 16, 15));
  EXPECT_FALSE(readable(16, 16, -15));
  EXPECT_FALSE(readable(16, 16, INT32_MIN));
  EXPECT_FALSE(readable(16, 16, 16, RectInt(0, 0, 17, 16)));
  EXPECT_FALSE(readable(16, 16, 16, RectInt(0, 0, 16, 17)));
  EXPECT_FALSE(readable(16, 16, 16, RectInt(INT32_MIN, 0, INT32_MAX, 16)));
  EXPECT_FALSE(readable(16, 16, 16, RectInt(0, INT32_MIN, 16, 1)));
  EXPECT_FALSE(readable(0x8000, 0x8000, 0x8000));  // 4 GiB of pixels
  EXPECT_FALSE(readable(16, 0x10000, 0x10000, RectInt(0, 0, 16, 16)));
}

TEST(PixelPass, CopiesRowsInEitherOrderAndMasksOnlyWhenAsked) {
  // 3 x 2 pixels in rows of 4: the fourth pixel of each row is padding.
  const uint32_t source[] = {0xFF000001, 0x00000002, 0xFF000003, 0xDEADBEEF,
                             0x01000004, 0xFF000005, 0x00FFFFFF, 0xDEADBEEF};
  std::vector<uint32_t> picture(6, 7), mask(6, 7);
  EXPECT_TRUE(KMC::copyFramePixels(source, 4, 3, 2, false, true, picture.data(), mask.data()));
  // Top-down frame: its first row becomes buffer row 1 (buffers are bottom-up). Transparent
  // pixels leave no colour in the picture, which is ORed onto what the mask lets through.
  const std::vector<uint32_t> upright{0x01000004, 0xFF000005, 0, 0xFF000001, 0, 0xFF000003};
  EXPECT_EQ(picture, upright);
  EXPECT_EQ(mask, (std::vector<uint32_t>{0, 0, 0xFFFFFFFF, 0, 0xFFFFFFFF, 0}));

  // The same rows stored upwards from the first one, with no padding before the first row:
  // the same picture, and nothing read outside (the array is exactly the rows it spans).
  const uint32_t upwards[] = {0x01000004, 0xFF000005, 0x00FFFFFF, 0xDEADBEEF, 0xFF000001, 0x00000002, 0xFF000003};
  std::vector<uint32_t> fromUpwards(6, 7), upwardsMask(6, 7);
  EXPECT_TRUE(KMC::copyFramePixels(upwards + 4, -4, 3, 2, false, true, fromUpwards.data(), upwardsMask.data()));
  EXPECT_EQ(fromUpwards, upright);
  EXPECT_EQ(upwardsMask, mask);

  EXPECT_TRUE(KMC::copyFramePixels(source, 4, 3, 2, true, true, picture.data(), mask.data()));
  EXPECT_EQ(picture[0], 0xFF000001u);
  EXPECT_EQ(mask[1], 0xFFFFFFFFu);

  // The first hole in the last row: the rows before it get a mask of 0 all the same.
  const uint32_t lateHole[] = {0xFF000001, 0xFF000002, 0xFF000003, 0x00000000, 0xFF000005, 0xFF000006};
  std::vector<uint32_t> lateMask(6, 7);
  EXPECT_TRUE(KMC::copyFramePixels(lateHole, 3, 3, 2, true, true, picture.data(), lateMask.data()));
  EXPECT_EQ(lateMask, (std::vector<uint32_t>{0, 0, 0, 0xFFFFFFFF, 0, 0}));

  // Without transparency every pixel keeps its colour bytes, and the mask is not written.
  std::vector<uint32_t> untouched(6, 7);
  EXPECT_FALSE(KMC::copyFramePixels(source, 4, 3, 2, true, false, picture.data(), untouched.data()));
  EXPECT_EQ(untouched, std::vector<uint32_t>(6, 7));
  EXPECT_EQ(picture[1], 0x00000002u);
  const uint32_t opaque[] = {0x01000000, 0xFF000002, 0xFF000003, 0xFF000004, 0xFF000005, 0xFF000006};
  EXPECT_FALSE(KMC::copyFramePixels(opaque, 3, 3, 2, true, true, picture.data(), untouched.data()));
  EXPECT_EQ(untouched, std::vector<uint32_t>(6, 7));
  EXPECT_EQ(picture[4], 0xFF000005u);
}

}  // namespace
