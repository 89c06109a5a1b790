#include <gtest/gtest.h>

#include "abi/engine_objects.h"
#include "framework/engine_text.h"
#include "framework/geometry.h"
#include "framework/setting.h"

namespace {

using namespace KMC;

TEST(Geometry, IntegerRectanglesCountBothEdgesFractionsDoNot) {
  EXPECT_EQ(RectInt(10, 20, 10, 20).width(), 1);
  EXPECT_EQ(RectInt(0, 0, 639, 479).width(), 640);
  EXPECT_EQ(RectInt(0, 0, 639, 479).height(), 480);
  EXPECT_DOUBLE_EQ(RectFloat(0.25, 0, 0.75, 1).width(), 0.5);
  EXPECT_LE(RectInt(5, 0, 3, 0).width(), 0);  // not normalised
  EXPECT_LT(RectFloat(0.75, 0, 0.25, 1).width(), 0.0);
}

TEST(Geometry, SizesOfFarApartEdgesAreExactIn64BitsAndKeptIn32) {
  RectInt everything(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
  EXPECT_EQ(everything.exactHeight(), int64_t(1) << 32);
  EXPECT_EQ(everything.height(), INT32_MAX);
  EXPECT_EQ(RectInt(INT32_MAX, 0, INT32_MIN, 10).exactWidth(), 2 - (int64_t(1) << 32));
  EXPECT_EQ(RectInt(INT32_MAX, 0, INT32_MIN, 10).width(), INT32_MIN);
}

TEST(Geometry, MergeCopiesOnlyTheSourceMaskedComponents) {
  MaskedFloat4 target(1, 2, 3, 4, 2);
  MaskedFloat4 source(9, 8, 7, 6, 5);
  target.merge(source);
  EXPECT_FLOAT_EQ(target[0], 9);
  EXPECT_FLOAT_EQ(target[1], 2);
  EXPECT_FLOAT_EQ(target[2], 7);
  EXPECT_FLOAT_EQ(target[3], 4);
  EXPECT_EQ(target.mask, 7);
  target.merge(target);
  EXPECT_EQ(target.mask, 7);
}

// A context that answers the setting with a scripted answer and records what it was asked.
class SettingContext final : public ComponentContext {
 public:
  // Entry 0 of the engine object (abi/abi.h); the plug-in never calls it.
  void* deletingDestructor(uint32_t flags) override { return KMC::runDeletingDestructor(this, flags); }
  int32_t chooseVideoAdapter(StringList*) override { return -1; }
  int32_t setVideoAdapter(VideoAdapterUnknown*) override { return 0; }
  int32_t videoSizeChanged(int32_t, int32_t) override { return 0; }
  int32_t windowSizeChanged(int32_t, int32_t) override { return 0; }
  int32_t channelEvent(int32_t, int32_t, VideoSample*) override { return 0; }
  bool getSetting(Setting& setting, PropertyValue* out) override {
    ++asked;
    path = toStdString(setting.path());
    name = toStdString(setting.name());
    kind = setting.kind();
    out->payload.int32 = payload;
    return answer;
  }
  MediaClock* getClock() override { return nullptr; }

  bool answer = true;
  int32_t payload = 1;
  int asked = 0;
  int32_t kind = 0;
  std::string path, name;
};

TEST(FormatCacheSwitch, OnOnlyWhenAnsweredTrueWithNonZeroPayload) {
  SettingContext context;
  EXPECT_TRUE(readFormatCacheSwitch(&context));
  EXPECT_EQ(context.path, "VideoDriver|FormatCache");
  EXPECT_EQ(context.name, "Enabled");
  EXPECT_EQ(context.kind, 1);

  context.payload = 0;
  EXPECT_FALSE(readFormatCacheSwitch(&context));
  context.answer = false;
  context.payload = 7;
  EXPECT_FALSE(readFormatCacheSwitch(&context));
  context.answer = true;  // asked anew at every call
  EXPECT_TRUE(readFormatCacheSwitch(&context));
  EXPECT_EQ(context.asked, 4);
  EXPECT_FALSE(readFormatCacheSwitch(nullptr));
}

}  // namespace
