// The X11 presenter against a private Xvfb: what it puts is what the window holds, by shared
// memory and by plain XPutImage, before and after a resize.
#include <gtest/gtest.h>
#include <stdlib.h>
// Xlib's macros (Bool, None, Status) clash with GoogleTest's names: include it last and
// drop the ones this test does not use.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef Bool
#undef None
#undef Status

#include <algorithm>
#include <memory>
#include <vector>

#include "support/environment_guard.h"
#include "support/eventually.h"
#include "x11_presenter.h"
#include "xvfb_server.h"

namespace {

class X11PresenterTest : public ::testing::TestWithParam<bool> {
 protected:
  static void SetUpTestSuite() { server_ = new XvfbServer; }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    if (server_->display().empty()) GTEST_SKIP() << "Xvfb did not start";
    display_.reset(new testsupport::EnvironmentGuard("DISPLAY", server_->display().c_str()));
    reader_ = XOpenDisplay(server_->display().c_str());
    ASSERT_NE(reader_, nullptr);
  }
  void TearDown() override {
    if (reader_) XCloseDisplay(reader_);
  }

  // Pumps the presenter until it is mapped (and has seen a resize, when asked) or two
  // seconds pass; answers the last resize seen.
  play::X11Presenter::Events pump(play::X11Presenter& presenter, bool untilResized) {
    play::X11Presenter::Events last;
    testsupport::eventually(
        [&] {
          play::X11Presenter::Events events = presenter.pump();
          if (events.resized) last = events;
          return presenter.mapped() && (!untilResized || last.resized);
        },
        2);
    return last;
  }

  uint32_t windowPixel(unsigned long window, int x, int y) {
    XImage* image = XGetImage(reader_, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0xFFFFFFFFu;
    uint32_t value = static_cast<uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFFu;
    XDestroyImage(image);
    return value;
  }

  static std::vector<uint32_t> pattern(int w, int h) {
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) pixels[static_cast<size_t>(y) * w + x] = (uint32_t(x * 3) << 16) | (uint32_t(y * 5) << 8) | 0x42;
    return pixels;
  }

  static XvfbServer* server_;
  Display* reader_ = nullptr;
  std::unique_ptr<testsupport::EnvironmentGuard> display_;  // DISPLAY names the test server while a test runs
};

XvfbServer* X11PresenterTest::server_ = nullptr;

TEST_P(X11PresenterTest, PutsTheSurfaceBytesUnchangedAndFollowsResizes) {
  bool wantShared = GetParam();
  play::X11Presenter presenter;
  std::string error;
  ASSERT_TRUE(presenter.open(64, 48, "presenter test", &error, wantShared)) << error;
  EXPECT_EQ(presenter.sharedMemory(), wantShared) << presenter.sharedMemoryNote();
  std::vector<uint32_t> pixels = pattern(64, 48);
  EXPECT_FALSE(presenter.present(pixels.data(), 64, 48)) << "nothing is put before the first Expose";
  pump(presenter, false);
  ASSERT_TRUE(presenter.mapped());
  ASSERT_TRUE(presenter.present(pixels.data(), 64, 48));
  for (int y : {0, 17, 47})
    for (int x : {0, 30, 63}) EXPECT_EQ(windowPixel(presenter.windowId(), x, y), pixels[y * 64 + x] & 0xFFFFFFu);

  XResizeWindow(reader_, presenter.windowId(), 80, 60);
  XSync(reader_, False);
  play::X11Presenter::Events resized = pump(presenter, true);
  ASSERT_TRUE(resized.resized);
  EXPECT_EQ(resized.width, 80);
  EXPECT_EQ(resized.height, 60);
  // A smaller surface than the window: the rest of the window is black.
  ASSERT_TRUE(presenter.present(pixels.data(), 64, 48));
  EXPECT_EQ(windowPixel(presenter.windowId(), 63, 47), pixels[47 * 64 + 63] & 0xFFFFFFu);
  EXPECT_EQ(windowPixel(presenter.windowId(), 70, 10), 0u);
  EXPECT_EQ(windowPixel(presenter.windowId(), 10, 55), 0u);
  std::vector<uint32_t> bigger = pattern(80, 60);
  ASSERT_TRUE(presenter.present(bigger.data(), 80, 60));
  EXPECT_EQ(windowPixel(presenter.windowId(), 79, 59), bigger[59 * 80 + 79] & 0xFFFFFFu);
  EXPECT_EQ(presenter.presented(), 3);
}

// The player's window surface draws straight into the image: what is written there is what the
// window shows, and the image a resize replaced can still be written until the next pump.
TEST_P(X11PresenterTest, PresentsWhatWasDrawnIntoItsOwnImage) {
  play::X11Presenter presenter;
  std::string error;
  ASSERT_TRUE(presenter.open(64, 48, "presenter test", &error, GetParam())) << error;
  pump(presenter, false);
  ASSERT_TRUE(presenter.mapped());
  uint32_t* image = presenter.imagePixels();
  ASSERT_NE(image, nullptr);
  std::vector<uint32_t> pixels = pattern(64, 48);
  std::copy(pixels.begin(), pixels.end(), image);
  ASSERT_TRUE(presenter.present(image, 64, 48));
  for (int y : {0, 47})
    for (int x : {0, 63}) EXPECT_EQ(windowPixel(presenter.windowId(), x, y), pixels[y * 64 + x] & 0xFFFFFFu);

  XResizeWindow(reader_, presenter.windowId(), 80, 60);
  XSync(reader_, False);
  ASSERT_TRUE(pump(presenter, true).resized);
  image[64 * 48 - 1] = 0x123456;  // the retired image: still the drawer's until the next pump
  uint32_t* resized = presenter.imagePixels();
  ASSERT_NE(resized, nullptr);
  std::vector<uint32_t> bigger = pattern(80, 60);
  std::copy(bigger.begin(), bigger.end(), resized);
  ASSERT_TRUE(presenter.present(resized, 80, 60));
  EXPECT_EQ(windowPixel(presenter.windowId(), 79, 59), bigger[59 * 80 + 79] & 0xFFFFFFu);
  EXPECT_EQ(windowPixel(presenter.windowId(), 5, 5), bigger[5 * 80 + 5] & 0xFFFFFFu);
}

INSTANTIATE_TEST_SUITE_P(SharedAndPlain, X11PresenterTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Shm" : "PutImage"; });

}  // namespace
