// Frames whose sizes do not match their pixels, pushed through the loaded plug-in: none is read
// outside its buffer (run under AddressSanitizer to see it), each is released exactly once,
// and the channel shows the next sound frame.
#include <memory>
#include <vector>

#include "gdi/exact_sample.h"
#include "gdi/plugin_rig.h"

namespace {

using namespace gdi_testing;

struct Lie {
  const char* what;
  int32_t width, height, stride;
  RectInt picture;
  size_t pixels = 16 * 16;  // the buffer's size
};

const Lie kLies[] = {
    {"picture rectangle wider than the frame", 16, 16, 16, RectInt(0, 0, 32, 16)},
    {"picture rectangle taller than the frame", 16, 16, 16, RectInt(0, 0, 16, 17)},
    {"stride shorter than a row", 16, 16, 8, RectInt(), 8 * 16},
    {"negative stride shorter than a row", 16, 16, -8, RectInt(), 8 * 16},
    {"negative width", -16, 16, 16, RectInt()},
    {"negative height", 16, -16, 16, RectInt()},
    {"stride times height beyond 32 bits", 16, 0x10000, 0x10000, RectInt(0, 0, 16, 16)},
    {"width times height beyond 32 bits", 0x10000, 0x10000, 0x10000, RectInt(0, 0, 0x10000, 0x10000)},
    {"picture edges 2^32 apart", 16, 16, 16, RectInt(INT32_MIN, 0, INT32_MAX, 16)},
    {"picture edges far apart vertically", 16, 16, 16, RectInt(0, -2000000000, 16, 2000000000)},
};

TEST(BadFrames, AreNeverReadOutsideTheirPixelsAndReleasedOnce) {
  PluginRig rig;
  ASSERT_TRUE(rig.start());
  PortInterface* port = rig.addOnlyChannel("BGRA");
  ASSERT_NE(port, nullptr);

  std::vector<std::unique_ptr<ExactSample>> frames;
  for (const Lie& lie : kLies) {
    frames.emplace_back(new ExactSample(lie.pixels, kOpaque | kRed));
    frames.back()->setSize(lie.width, lie.height, lie.stride);
    frames.back()->picture = host::rectInt(lie.picture.left, lie.picture.top, lie.picture.right, lie.picture.bottom);
    rig.push(port, frames.back().get());
  }
  // A sound frame after them: it is shown, so every bad one has been offered and replaced.
  frames.emplace_back(new ExactSample(640 * 480, kOpaque | kGreen));
  frames.back()->setSize(640, 480, 640);
  rig.push(port, frames.back().get());
  rig.expectPicture([](int32_t, int32_t) { return kGreen; });
  EXPECT_EQ(rig.context.channelEvents(KMC::kEventPresented, 1).size(), frames.size());

  for (size_t i = 0; i + 1 < frames.size(); ++i) EXPECT_EQ(frames[i]->releases(), 1) << kLies[i].what;
  rig.shutdown();
  EXPECT_EQ(frames.back()->releases(), 1);
}

}  // namespace
