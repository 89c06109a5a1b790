// The snapshot writer and the report.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "play_report.h"
#include "png_reader.h"
#include "png_writer.h"
#include "support/temp_folder.h"

namespace {

TEST(PngWriter, WritesWhatReadsBackPixelForPixel) {
  const int w = 7, h = 3;
  std::vector<uint32_t> pixels;
  for (int i = 0; i < w * h; ++i) pixels.push_back(0xAB000000u | static_cast<uint32_t>(i * 0x0A0B0C));
  testsupport::TempFolder folder("tavorin-png");
  std::string path = folder.file("written.png");
  std::string error;
  ASSERT_TRUE(play::writePng(path, pixels, w, h, &error)) << error;
  PngPicture back = readPng(path);
  ASSERT_EQ(back.width, w);
  ASSERT_EQ(back.height, h);
  for (int i = 0; i < w * h; ++i) EXPECT_EQ(back.pixels[i], pixels[i] & 0xFFFFFFu) << i;
  std::remove(path.c_str());
}

TEST(PngWriter, RefusesMissingPicturesAndUnwritablePaths) {
  std::string error;
  EXPECT_FALSE(play::writePng("/nonexistent-dir/x.png", std::vector<uint32_t>(4), 2, 2, &error));
  EXPECT_NE(error.find("/nonexistent-dir/x.png"), std::string::npos) << error;
  testsupport::TempFolder folder("tavorin-png");
  EXPECT_FALSE(play::writePng(folder.file("short.png"), std::vector<uint32_t>(3), 2, 2, &error));
  EXPECT_FALSE(play::writePng(folder.file("empty.png"), {}, 0, 0, &error));
}

TEST(PlayReport, LatenessUsesTheNearestRankAndTheReportLineCarriesEveryCount) {
  std::vector<int32_t> lateness;
  for (int i = 20; i >= 1; --i) lateness.push_back(i - 5);  // -4 .. 15
  play::LatenessSummary summary = play::summarizeLateness(lateness);
  EXPECT_EQ(summary.count, 20);
  EXPECT_DOUBLE_EQ(summary.mean, 5.5);
  EXPECT_EQ(summary.p95, 14);  // rank 19 of 20
  EXPECT_EQ(summary.max, 15);
  EXPECT_EQ(play::summarizeLateness({}).count, 0);
  EXPECT_EQ(play::summarizeLateness({7}).p95, 7);

  play::PlayReport report;
  report.expected = 300;
  report.delivered = 290;
  report.presented = 280;
  report.dropped = 4;
  report.lateness = summary;
  report.redraws = 150;
  report.seconds = 5;
  report.releasedOk = true;
  report.window = "offscreen";
  std::string text = play::formatReport(report);
  std::string line = text.substr(text.find("REPORT "));
  for (const char* field : {"expected=300 ", "delivered=290 ", "presented=280 ", "dropped=4 ", "late_p95=14 ",
                            "late_max=15 ", "redraws=150 ", "redraw_rate=30.00 ", "released_ok=1 ", "window=offscreen\n"}) {
    EXPECT_NE(line.find(field), std::string::npos) << field << " in " << line;
  }
}

}  // namespace
