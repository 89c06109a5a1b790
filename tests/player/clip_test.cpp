// The generated clip: timing, layout, pictures and the digit font.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "clip.h"
#include "clip_frames.h"
#include "digit_font.h"
#include "frame_pool.h"

namespace {

using namespace play;

TEST(ClipTiming, FramesTileMediaTimeFromOnePeriodInAndNeverStartAtZero) {
  for (double fps : {24.0, 29.97, 30.0, 60.0, 240.0}) {
    ClipTiming timing(fps, 2.0);
    EXPECT_EQ(timing.frameCount(), static_cast<int>(std::lround(2.0 * fps)));
    EXPECT_GT(timing.firstStart(), 0) << fps;
    int64_t total = 0;
    for (int i = 0; i < timing.frameCount(); ++i) {
      EXPECT_EQ(timing.startTime(i) + static_cast<int32_t>(timing.duration(i)), timing.startTime(i + 1)) << fps;
      EXPECT_GE(timing.duration(i), 1u);
      total += timing.duration(i);
    }
    EXPECT_EQ(timing.firstStart() + total, timing.endTime()) << fps;
    EXPECT_NEAR(timing.endTime() - timing.firstStart(), timing.frameCount() * 1000.0 / fps, 1) << fps;
  }
  EXPECT_EQ(ClipTiming(25, 1).startTime(0), 40);
}

TEST(ClipLayout, TilesStayInsideTheMarginAndNeverOverlap) {
  for (int count = 1; count <= 16; ++count) {
    std::vector<Fractions> tiles;
    for (int i = 0; i < count; ++i) tiles.push_back(layout::pictureTile(i, count));
    for (int i = 0; i < count; ++i) {
      const Fractions& a = tiles[static_cast<size_t>(i)];
      EXPECT_GE(a.left, layout::kMargin - 1e-9);
      EXPECT_GE(a.top, layout::kMargin - 1e-9);
      EXPECT_LE(a.right, 1 - layout::kMargin + 1e-9);
      EXPECT_LE(a.bottom, 1 - layout::kMargin + 1e-9);
      EXPECT_LT(a.left, a.right);
      EXPECT_LT(a.top, a.bottom);
      for (int j = 0; j < i; ++j) {
        const Fractions& b = tiles[static_cast<size_t>(j)];
        bool apart = a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top;
        EXPECT_TRUE(apart) << count << ": " << i << " overlaps " << j;
      }
    }
  }
}

class ClipPictures : public ::testing::Test {
 protected:
  static const int kWidth = 160, kHeight = 90;
  std::vector<uint32_t> pixels = std::vector<uint32_t>(kWidth * kHeight, 0xDEADBEEFu);
  PixelBuffer target{pixels.data(), kWidth, kHeight, kWidth};
  uint32_t at(double fx, double fy) const {
    return pixels[static_cast<size_t>(fy * kHeight) * kWidth + static_cast<size_t>(fx * kWidth)];
  }
};

TEST_F(ClipPictures, PictureIsBlueWithAnEmptyFourthByteAndMovesWithTheFrame) {
  drawPicture(target, 7, 0);
  for (uint32_t p : pixels) {
    EXPECT_EQ(p >> 24, 0u);
    EXPECT_GE(p & 0xFF, 0x60u);
  }
  std::vector<uint32_t> seventh = pixels;
  drawPicture(target, 8, 0);
  // Only the frame number's digits and the bar differ, in the lower rows only the bar.
  int changedRows = 0;
  for (int y = kHeight / 2; y < kHeight; ++y) {
    bool changed = false;
    for (int x = 0; x < kWidth; ++x) changed |= pixels[y * kWidth + x] != seventh[y * kWidth + x];
    changedRows += changed;
  }
  EXPECT_EQ(changedRows, kHeight - kHeight / 2);
  drawPicture(target, 8, 1);
  EXPECT_NE(pixels, seventh) << "channels are told apart by colour";
}

TEST_F(ClipPictures, OverlayIsClearAboveTheBarAndInItsHolesOpaqueElsewhere) {
  drawOverlay(target, 12);
  EXPECT_EQ(at(0.5, 0.3), colours::kClear);
  for (const Fractions& hole : layout::kHoles) {
    EXPECT_EQ(at((hole.left + hole.right) / 2, (hole.top + hole.bottom) / 2), colours::kClear);
  }
  EXPECT_EQ(at(0.75, 0.85), colours::kOverlayBar);
  EXPECT_EQ(at(0.99, 0.99), colours::kOverlayBar);
  int text = 0;
  for (uint32_t p : pixels) {
    EXPECT_TRUE(p == colours::kClear || p >> 24 == 0xFF) << std::hex << p;
    text += p == colours::kOverlayText;
  }
  EXPECT_GT(text, 0) << "the frame number is written on the bar";
}

TEST_F(ClipPictures, DigitsAreDistinctAndClippedAtTheEdges) {
  for (int a = 0; a < 10; ++a) {
    for (int b = 0; b < a; ++b) {
      bool differ = false;
      for (int row = 0; row < DigitFont::kGlyphHeight; ++row)
        for (int column = 0; column < DigitFont::kGlyphWidth; ++column)
          differ |= DigitFont::covers(a, column, row) != DigitFont::covers(b, column, row);
      EXPECT_TRUE(differ) << a << " looks like " << b;
    }
  }
  std::fill(pixels.begin(), pixels.end(), 0u);
  DigitFont::draw(target, -7, kHeight - 10, "8888", 3, 1u);
  DigitFont::draw(target, kWidth - 5, -5, "1", 4, 1u);
  int set = 0;
  for (uint32_t p : pixels) set += p == 1u;
  EXPECT_GT(set, 0);
  EXPECT_EQ(DigitFont::textWidth("123", 2), (3 * 6 - 1) * 2);
}

TEST(ClipFrames, BackwardsPlayStartsAtTheLastFrameAndPullEndsWithTheClip) {
  FramePool pool;
  ClipTiming timing(10, 0.5);
  ClipFrames frames(&pool, timing, 32, 18, 1, true);
  ASSERT_EQ(frames.frameCount(), 5);
  PooledFrame* first = frames.make(0, 0);
  EXPECT_EQ(first->startTime, timing.startTime(4));
  EXPECT_EQ(first->duration, timing.duration(4));
  EXPECT_EQ(first->width, 32);
  EXPECT_EQ(first->stride, 32);
  EXPECT_EQ(first->usable, 1);
  first->release();

  ClipFeed feed(&frames, 1);
  FeedSource source(&feed);
  std::vector<int32_t> starts;
  KMC::PropertyValue value;
  while (source.pull(0x200c000a, &value)) {
    KMC::VideoSample* sample = static_cast<KMC::VideoSample*>(value.payload.pointer);
    starts.push_back(sample->startTime);
    EXPECT_EQ(sample->data()[0], colours::kClear) << "stream 1 of one picture channel is the overlay";
    sample->release();
  }
  EXPECT_EQ(starts, (std::vector<int32_t>{500, 400, 300, 200, 100}));
  EXPECT_EQ(feed.handedOut(), 5);
  EXPECT_TRUE(feed.exhausted());
  EXPECT_EQ(feed.lastEnd(), 200) << "backwards, the last frame taken is the first of the clip";
  EXPECT_TRUE(pool.allReleasedExactlyOnce());
}

}  // namespace
