// Scaled channels through the loaded plug-in: the window shows, byte for byte, what the
// resampling library computes for the same frames and rectangles (scaled_cases.h): the
// picture filtered to its output size, its mask by the same rule. When the build names a folder
// of reference pictures written on Linux (TAVORIN_SCALED_REFERENCE_DIR, set by the Windows
// build), the window is compared with those too, so the DLL on Windows and the Linux library
// are held to the same bytes.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "gdi/plugin_rig.h"
#include "gdi/scaled_cases.h"

namespace {

using namespace gdi_testing;

std::vector<uint32_t> windowColours(const host::HostWindow& window) {
  int32_t width = 0, height = 0;
  std::vector<uint32_t> pixels = window.readPixels(&width, &height);
  for (uint32_t& p : pixels) p &= 0x00FFFFFFu;
  return pixels;
}

// Where two pictures first differ, for the failure message.
std::string firstDifference(const std::vector<uint32_t>& got, const std::vector<uint32_t>& want, int32_t width) {
  if (got.size() != want.size()) return "sizes differ";
  size_t count = 0, first = 0;
  for (size_t i = 0; i < got.size(); ++i) {
    if (got[i] == want[i]) continue;
    if (count++ == 0) first = i;
  }
  if (count == 0) return "";
  char text[160];
  std::snprintf(text, sizeof text, "%zu pixels differ, the first at (%d, %d): %06x, not %06x", count,
                int(first % size_t(width)), int(first / size_t(width)), unsigned(got[first]), unsigned(want[first]));
  return text;
}

class ScaledChannel : public ::testing::TestWithParam<scaled_cases::Case> {};

TEST_P(ScaledChannel, WindowShowsTheResampledPictureByteForByte) {
  const scaled_cases::Case& c = GetParam();
  PluginRig rig(c.windowWidth, c.windowHeight);
  ASSERT_TRUE(rig.start());
  std::vector<PortInterface*> ports;
  for (int i = 0; i < c.layerCount; ++i) {
    const scaled_cases::Layer& layer = c.layers[i];
    ports.push_back(rig.addChannel(i + 1, layer.holes ? "BGRA" : "BGRX",
                                   RectFloat(layer.place[0], layer.place[1], layer.place[2], layer.place[3])));
    ASSERT_NE(ports.back(), nullptr);
  }
  if (c.layerCount == 1) rig.select({1});
  else rig.select({1, 2});
  for (int i = 0; i < c.layerCount; ++i) {
    const scaled_cases::Layer& layer = c.layers[i];
    host::OwnedVideoSample* frame = rig.frame(layer.frameWidth, layer.frameHeight, 0);
    for (int32_t y = 0; y < layer.frameHeight; ++y) {
      for (int32_t x = 0; x < layer.frameWidth; ++x) frame->setPixel(x, y, scaled_cases::framePixel(x, y, layer.holes));
    }
    if (layer.pictureHeight) frame->picture = host::rectInt(0, 0, layer.frameWidth, layer.pictureHeight);
    rig.push(ports[size_t(i)], frame);
  }
  const std::vector<uint32_t> expected = scaled_cases::expectedWindow(c);
  eventually([&] { return windowColours(rig.window) == expected; });
  EXPECT_EQ(firstDifference(windowColours(rig.window), expected, c.windowWidth), "");

#ifdef TAVORIN_SCALED_REFERENCE_DIR
  // The same case's picture as the Linux build computed it.
  std::ifstream file(scaled_cases::referenceFile(TAVORIN_SCALED_REFERENCE_DIR, c), std::ios::binary);
  ASSERT_TRUE(file.good()) << scaled_cases::referenceFile(TAVORIN_SCALED_REFERENCE_DIR, c);
  std::vector<uint32_t> fromLinux(expected.size());
  file.read(reinterpret_cast<char*>(fromLinux.data()), std::streamsize(fromLinux.size() * 4));
  ASSERT_EQ(file.gcount(), std::streamsize(fromLinux.size() * 4));
  EXPECT_EQ(firstDifference(windowColours(rig.window), fromLinux, c.windowWidth), "") << "against the Linux build's picture";
#endif
  rig.shutdown();
  EXPECT_TRUE(rig.ledger.allReleasedExactlyOnce());
}

INSTANTIATE_TEST_SUITE_P(Cases, ScaledChannel, ::testing::ValuesIn(scaled_cases::cases()),
                         [](const ::testing::TestParamInfo<scaled_cases::Case>& info) { return std::string(info.param.name); });

}  // namespace
