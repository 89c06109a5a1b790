#include "threading/priority_level.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/win32.h"

namespace KMC {
namespace {

// Priorities are per thread: each test runs in a thread of its own so the test runner's
// thread keeps its priority.
template <typename F>
void inOwnThread(F body) {
  std::thread(body).join();
}

TEST(PriorityLevelTest, EachLevelSetsItsPriorityAndReadsBackAsThatLevel) {
  inOwnThread([] {
    const int priorities[] = {-2, -1, 0, 2, 15};
    for (int level = 0; level < 5; ++level) {
      ASSERT_TRUE(setPriorityLevel(level));
      EXPECT_EQ(GetThreadPriority(GetCurrentThread()), priorities[level]) << "level " << level;
      int previous = -1;
      ASSERT_TRUE(setPriorityLevel(2, &previous));
      EXPECT_EQ(previous, level);
      ASSERT_TRUE(setPriorityLevel(level, nullptr, GetCurrentThread()));
      EXPECT_EQ(GetThreadPriority(GetCurrentThread()), priorities[level]);
    }
  });
}

TEST(PriorityLevelTest, PrioritiesOutsideTheTableReportNormal) {
  inOwnThread([] {
    int previous = -1;
    ASSERT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL));
    EXPECT_TRUE(setPriorityLevel(0, &previous));
    EXPECT_EQ(previous, 2);
    ASSERT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE));
    EXPECT_TRUE(setPriorityLevel(0, &previous));
    EXPECT_EQ(previous, 2);
  });
}

TEST(PriorityLevelTest, RefusedLevelStillReportsThePreviousOne) {
  inOwnThread([] {
    ASSERT_TRUE(setPriorityLevel(1));
    int previous = -1;
    EXPECT_FALSE(setPriorityLevel(5, &previous));
    EXPECT_EQ(previous, 1);
    EXPECT_FALSE(setPriorityLevel(-1));
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_BELOW_NORMAL);
  });
}

}  // namespace
}  // namespace KMC
