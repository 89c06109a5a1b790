// A scaled channel is resampled once per frame and output rectangle: redraws in between (a
// 60 Hz redraw of a 30 fps stream, the idle redraw) only copy, and a 1:1 channel never
// resamples.
#include <gtest/gtest.h>

#include "engine/video_sample.h"
#include "gdi/renderer_rig.h"

namespace {

using gdi_testing::RendererRig;

TEST(ScaledPicture, ResampledOncePerFrameAndOutputRectangle) {
  RendererRig rig(640, 480);
  ASSERT_TRUE(rig.createAndStop());
  host::SampleLedger ledger;
  RendererRig::Channel* scaled = rig.addChannel("BGRA");
  RendererRig::Channel* unscaled = rig.addChannel("BGRX");
  scaled->outputRect = KMC::RectFloat(0, 0, 1, 1);
  unscaled->outputRect = KMC::RectFloat(0, 0, 1, 1);
  auto redraws = [&](int count) {
    for (int i = 0; i < count; ++i) {
      rig.tavorin->beginFrame();
      rig.tavorin->drawChannel(unscaled);
      rig.tavorin->drawChannel(scaled);
      rig.tavorin->endFrame();
    }
  };
  auto resamplings = [&](RendererRig::Channel* channel) { return RendererRig::surfaceOf(channel)->scaled.resamplings(); };
  auto show = [&](RendererRig::Channel* channel, int32_t width, int32_t height) {
    host::OwnedVideoSample* frame = ledger.make(1000, 40, width, height);
    frame->fill(0x00336699);  // transparent: the mask is resampled too
    KMC::VideoSample* previous = rig.present(channel, frame);
    if (previous) previous->release();
  };
  show(unscaled, 640, 480);
  show(scaled, 320, 240);
  redraws(3);
  EXPECT_EQ(resamplings(scaled), 1u);
  scaled->outputRect = KMC::RectFloat(0, 0, 0.75, 0.75);
  redraws(2);
  EXPECT_EQ(resamplings(scaled), 2u);
  show(scaled, 320, 240);
  redraws(2);
  EXPECT_EQ(resamplings(scaled), 3u);
  // 320 x 240 in a 320 x 240 rectangle is 1:1: one copy, nothing resampled.
  scaled->outputRect = KMC::RectFloat(0, 0, 0.5, 0.5);
  redraws(2);
  EXPECT_EQ(resamplings(scaled), 3u);
  EXPECT_EQ(resamplings(unscaled), 0u);
  rig.tavorin->detachChannel(scaled);
  rig.tavorin->detachChannel(unscaled);
  EXPECT_TRUE(ledger.allReleasedExactlyOnce());
}

}  // namespace
