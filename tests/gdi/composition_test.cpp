// What the loaded plug-in draws into the window, pixel by pixel: placement of a channel in the
// drawing rectangle, mirroring, hidden channels, the transparency mask of "BGRA" overlays, row
// order and the picture rectangle. Every size is chosen so that no stretch is involved (or a
// uniform colour is stretched), so the expected colours are exact.
#include <cmath>
#include <cstddef>

#include "gdi/exact_sample.h"
#include "gdi/plugin_rig.h"

namespace {

using namespace gdi_testing;

// A different colour for nearly every pixel, so a shifted or flipped copy cannot pass.
uint32_t pattern(int32_t x, int32_t y) {
  return (static_cast<uint32_t>(x * 7 + y) & 0xFF) << 16 | (static_cast<uint32_t>(y * 5) & 0xFF) << 8 |
         (static_cast<uint32_t>(x + 3 * y) & 0xFF);
}

void paint(host::OwnedVideoSample* frame, uint32_t topByte) {
  for (int32_t y = 0; y < frame->height; ++y) {
    for (int32_t x = 0; x < frame->width; ++x) frame->setPixel(x, y, topByte | pattern(x, y));
  }
}

class Composition : public ::testing::Test {
 protected:
  void TearDown() override {
    rig.shutdown();
    EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
  }
  // Starts on the whole window and shows one opaque painted width x height "BGRX" frame on a
  // single channel placed at where.
  void showPainted(const RectFloat& where, int32_t width, int32_t height) {
    ASSERT_TRUE(rig.start());
    PortInterface* port = rig.addChannel(1, "BGRX", where);
    ASSERT_NE(port, nullptr);
    rig.select({1});
    host::OwnedVideoSample* frame = rig.frame(width, height, 0);
    paint(frame, kOpaque);
    rig.push(port, frame);
  }
  PluginRig rig;
};

TEST_F(Composition, FullOutputRectangleFillsTheDrawingRectangle) {
  ASSERT_NO_FATAL_FAILURE(showPainted(RectFloat(0, 0, 1, 1), 640, 480));
  rig.expectPicture(pattern);
}

TEST_F(Composition, CentredQuarterLandsInItsPixelsWithBlackAround) {
  ASSERT_NO_FATAL_FAILURE(showPainted(RectFloat(0.25, 0.25, 0.75, 0.75), 320, 240));
  rig.expectPicture([](int32_t x, int32_t y) {
    bool inside = x >= 160 && x < 480 && y >= 120 && y < 360;
    return inside ? pattern(x - 160, y - 120) : 0u;
  });
}

TEST_F(Composition, BottomAboveTopFlipsThePictureInPlace) {
  // A negative extent asks for the frame's own height from the top edge; bottom above top also
  // turns the picture upside down, on the same rows an upright picture would take.
  ASSERT_NO_FATAL_FAILURE(showPainted(RectFloat(0, 0, 1, -1), 640, 480));
  rig.expectPicture([](int32_t x, int32_t y) { return pattern(x, 479 - y); });
}

TEST_F(Composition, RightLeftOfLeftTakesTheFramesWidthWithoutMirroring) {
  // Unlike bottom above top, right left of left does not turn the picture: the frame's own
  // width is drawn from the left edge, the right way round.
  ASSERT_NO_FATAL_FAILURE(showPainted(RectFloat(0.25, 0, 0.125, 1), 160, 480));
  rig.expectPicture([](int32_t x, int32_t y) { return x >= 160 && x < 320 ? pattern(x - 160, y) : 0u; });
}

TEST_F(Composition, FirstDisplayFactorZeroLeavesTheChannelsAreaBlackNaNDoesNot) {
  ASSERT_TRUE(rig.start());
  PortInterface* left = rig.addChannel(1, "BGRX", RectFloat(0, 0, 0.5, 1));
  PortInterface* right = rig.addChannel(2, "BGRX", RectFloat(0.5, 0, 1, 1));
  ASSERT_TRUE(left && right);
  rig.setDisplayFactors(left, KMC::MaskedFloat4(std::nanf(""), 1.0f, 1.0f, 1.0f, 15));
  rig.setDisplayFactors(right, KMC::MaskedFloat4(0.0f, 1.0f, 1.0f, 1.0f, 15));
  rig.select({1, 2});
  rig.push(right, rig.frame(320, 480, kOpaque | kGreen));
  rig.push(left, rig.frame(320, 480, kOpaque | kRed));
  // Both frames presented, then a few more redraws: the hidden one never shows.
  ASSERT_TRUE(eventually([&] { return rig.context.channelEvents(KMC::kEventPresented, 1).size() == 1 && rig.context.channelEvents(KMC::kEventPresented, 2).size() == 1; }));
  uint32_t drawn = rig.window.generation();
  ASSERT_TRUE(eventually([&] { return rig.window.generation() >= drawn + 3; }));
  rig.expectPicture([](int32_t x, int32_t) { return x < 320 ? kRed : 0u; });
}

TEST_F(Composition, TransparentOverlayPixelsShowThePictureBelow) {
  ASSERT_TRUE(rig.start());
  PortInterface* picture = rig.addChannel(1, "BGRX");
  PortInterface* overlay = rig.addChannel(2, "BGRA");
  ASSERT_TRUE(picture && overlay);
  rig.select({1, 2});
  host::OwnedVideoSample* below = rig.frame(640, 480, 0);
  paint(below, kOpaque);
  // Left half fully transparent, right half opaque green, one transparent hole in it. The
  // transparent pixels keep colour bytes, as decoders and image files commonly leave them:
  // none of it may tint what shows through.
  host::OwnedVideoSample* above = rig.frame(640, 480, 0x00C08040);
  for (int32_t y = 0; y < 480; ++y) {
    for (int32_t x = 320; x < 640; ++x) above->setPixel(x, y, kOpaque | kGreen);
  }
  above->setPixel(500, 200, kWhite);
  rig.push(picture, below);
  rig.push(overlay, above);
  rig.expectPicture([](int32_t x, int32_t y) {
    bool hole = x == 500 && y == 200;
    return x < 320 || hole ? pattern(x, y) : kGreen;
  });
}

TEST_F(Composition, OpaqueOverlaysCoverWhateverTheirTopBytes) {
  // A "BGRA" overlay whose pixels all have a non-zero top byte, and a "BGRX" one whose top
  // bytes are all 0: neither lets anything below show through.
  ASSERT_TRUE(rig.start());
  PortInterface* picture = rig.addChannel(1, "BGRX");
  PortInterface* alphaOverlay = rig.addChannel(2, "BGRA", RectFloat(0, 0, 0.5, 1));
  PortInterface* plainOverlay = rig.addChannel(3, "BGRX", RectFloat(0.5, 0, 1, 1));
  ASSERT_TRUE(picture && alphaOverlay && plainOverlay);
  rig.select({1, 2, 3});
  rig.push(picture, rig.frame(640, 480, kOpaque | kRed));
  host::OwnedVideoSample* alpha = rig.frame(320, 480, 0);
  for (int32_t y = 0; y < 480; ++y) {
    for (int32_t x = 0; x < 320; ++x) alpha->setPixel(x, y, (static_cast<uint32_t>(1 + (x + y) % 255) << 24) | kBlue);
  }
  rig.push(alphaOverlay, alpha);
  host::OwnedVideoSample* plain = rig.frame(320, 480, 0);
  paint(plain, 0);  // top byte 0 everywhere, and some colours are 0 too
  rig.push(plainOverlay, plain);
  rig.expectPicture([](int32_t x, int32_t y) { return x < 320 ? kBlue : pattern(x - 320, y); });
}

TEST_F(Composition, NoRedrawShowsWhatAnEarlierOneDrew) {
  // The picture of a redraw is made in a bitmap kept from the one before; what no channel
  // covers opaquely is black again every time.
  ASSERT_NO_FATAL_FAILURE(showPainted(RectFloat(0, 0, 1, 1), 640, 480));
  rig.expectPicture(pattern);
  PortInterface* picture = rig.ports.front();
  rig.place(picture, RectFloat(0.25, 0.25, 0.75, 0.75));
  host::OwnedVideoSample* smaller = rig.frame(320, 240, 0);
  paint(smaller, kOpaque);
  rig.push(picture, smaller);
  rig.expectPicture([](int32_t x, int32_t y) {
    bool inside = x >= 160 && x < 480 && y >= 120 && y < 360;
    return inside ? pattern(x - 160, y - 120) : 0u;
  });

  // Alone over the whole area, a "BGRA" picture with a transparent pixel where the last
  // picture was: the hole shows black.
  PortInterface* overlay = rig.addChannel(2, "BGRA");
  ASSERT_NE(overlay, nullptr);
  rig.select({2});
  host::OwnedVideoSample* holed = rig.frame(640, 480, kOpaque | kGreen);
  holed->setPixel(320, 240, kGreen);
  rig.push(overlay, holed);
  rig.expectPicture([](int32_t x, int32_t y) { return x == 320 && y == 240 ? 0u : kGreen; });
}

TEST_F(Composition, RowOrderFollowsTheFramesFlag) {
  ASSERT_NO_FATAL_FAILURE(showPainted(RectFloat(0, 0, 1, 1), 640, 480));
  rig.expectPicture(pattern);
  PortInterface* port = rig.ports.front();

  // Rows stored bottom-up: the first row in memory is the bottom row of the picture.
  host::OwnedVideoSample* bottomUp = rig.ledger.make(1000, 40, 640, 480);
  paint(bottomUp, kOpaque);
  bottomUp->bottomUp = 1;
  rig.push(port, bottomUp);
  rig.expectPicture([](int32_t x, int32_t y) { return pattern(x, 479 - y); });
}

TEST_F(Composition, RowsStoredUpwardsAreReadFromTheFirstRowOnly) {
  // A negative stride: the first row at the data pointer, each next row 648 pixels below it in
  // memory. The buffer holds exactly the rows the frame spans, so a read of anything else is
  // caught under AddressSanitizer.
  ASSERT_TRUE(rig.start());
  PortInterface* port = rig.addOnlyChannel("BGRX");
  ASSERT_NE(port, nullptr);
  const size_t rowDistance = 648;
  ExactSample frame(479 * rowDistance + 640, kOpaque | kRed);
  frame.setSize(640, 480, -static_cast<int32_t>(rowDistance));
  frame.setFirstPixel(479 * rowDistance);
  for (int32_t y = 0; y < 480; ++y) {
    for (int32_t x = 0; x < 640; ++x) frame.data()[-static_cast<ptrdiff_t>(y * rowDistance) + x] = kOpaque | pattern(x, y);
  }
  rig.push(port, &frame);
  rig.expectPicture(pattern);
  rig.shutdown();
  EXPECT_EQ(frame.releases(), 1);
}

TEST(CompositionPictureRectangle, OnlyThePictureRectangleIsUploadedAndShown) {
  // A 720 x 592 frame whose last 16 rows lie outside its picture rectangle (0, 0, 720, 576),
  // on a drawing rectangle of the same 720 x 576: the picture fills it exactly.
  PluginRig rig(720, 576);
  ASSERT_TRUE(rig.start());
  PortInterface* port = rig.addOnlyChannel("BGRX");
  ASSERT_NE(port, nullptr);
  host::OwnedVideoSample* frame = rig.frame(720, 592, kOpaque | kRed);
  for (int32_t y = 0; y < 576; ++y) {
    for (int32_t x = 0; x < 720; ++x) frame->setPixel(x, y, kOpaque | pattern(x, y));
  }
  frame->picture = host::rectInt(0, 0, 720, 576);
  rig.push(port, frame);
  rig.expectPicture(pattern);
  rig.shutdown();
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
}

}  // namespace
