#include "threading/c_time.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/win32.h"

namespace KMC {
namespace {

DWORD g_now = 0;
DWORD fixedCounter() { return g_now; }

// The millisecond counter moves only when the test moves it.
class CTimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_now = 5000;
    platform_testing::setMillisecondCounter(&fixedCounter);
  }
  void TearDown() override { platform_testing::setMillisecondCounter(nullptr); }
};

TEST_F(CTimeTest, NewStopwatchReadsZeroWhileStopped) {
  CTime time;
  EXPECT_EQ(time.elapsed(), 0);
  g_now += 100000;
  EXPECT_EQ(time.elapsed(), 0);
}

TEST_F(CTimeTest, StartCountsFromZeroAndSecondStartChangesNothing) {
  CTime time;
  g_now += 70;  // stopped time is not counted
  EXPECT_TRUE(time.start());
  g_now += 250;
  EXPECT_EQ(time.elapsed(), 250);
  g_now += 50;
  EXPECT_TRUE(time.start());
  EXPECT_EQ(time.elapsed(), 300);
  g_now += 10;
  EXPECT_EQ(time.elapsed(), 310);
}

TEST_F(CTimeTest, ResetRebasesWithoutChangingTheState) {
  CTime time;
  time.start();
  g_now += 500;
  time.reset(1000);
  g_now += 40;
  EXPECT_EQ(time.elapsed(), 1040);
  time.reset(0);
  EXPECT_EQ(time.elapsed(), 0);

  CTime stopped;
  stopped.reset(-20);
  g_now += 30;
  EXPECT_EQ(stopped.elapsed(), -20);  // still stopped
  stopped.start();
  g_now += 5;
  EXPECT_EQ(stopped.elapsed(), -15);
}

// The output thread's periodic step: more than 100 ms, i.e. from 101 ms on.
TEST_F(CTimeTest, PeriodicThresholdIsStrictlyAboveOneHundred) {
  CTime time;
  time.start();
  g_now += 100;
  EXPECT_FALSE(time.elapsed() > 100);
  g_now += 1;
  EXPECT_TRUE(time.elapsed() > 100);
}

TEST_F(CTimeTest, IntervalsSpanningTheCounterWrapReadCorrectly) {
  g_now = 0xFFFFFF00u;  // 256 ms before the wrap
  CTime time;
  g_now = 0xFFFFFFF0u;
  time.start();  // 240 ms stopped
  g_now = 0x00000100u;
  EXPECT_EQ(time.elapsed(), 0x110);
  time.reset(7);
  g_now = 0x00000200u;
  EXPECT_EQ(time.elapsed(), 7 + 0x100);

  g_now = 0xFFFFFFFFu;
  CTime stopped;
  g_now = 0x00000010u;
  EXPECT_EQ(stopped.elapsed(), 0);
  stopped.start();
  g_now = 0x00000030u;
  EXPECT_EQ(stopped.elapsed(), 0x20);
}

TEST_F(CTimeTest, EachInstanceHoldsOneTimerResolutionRequest) {
  const int before = platform_testing::timerPeriodRequests();
  {
    auto first = std::make_unique<CTime>();
    EXPECT_EQ(platform_testing::timerPeriodRequests(), before + 1);
    {
      CTime second;
      EXPECT_EQ(platform_testing::timerPeriodRequests(), before + 2);
    }
    EXPECT_EQ(platform_testing::timerPeriodRequests(), before + 1);
  }
  EXPECT_EQ(platform_testing::timerPeriodRequests(), before);
}

}  // namespace
}  // namespace KMC
