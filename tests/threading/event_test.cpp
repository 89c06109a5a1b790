#include "threading/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace KMC {
namespace {

TEST(EventTest, AutoResetLetsOneWaitThroughPerSetAndSetsDoNotAddUp) {
  Event event(0);
  event.set();
  event.set();
  event.wait();  // the remembered signal: returns at once

  std::atomic<bool> returned{false};
  std::thread waiter([&] {
    event.wait();  // the two sets were consumed by one wait
    returned = true;
  });
  // Can only make the check pass wrongly on a slow machine, never fail wrongly.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(returned.load());
  event.set();
  waiter.join();
  EXPECT_TRUE(returned.load());
}

TEST(EventTest, AutoResetWakesEachWaiterWithItsOwnSet) {
  Event event(0);
  const int kWaiters = 3;
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < kWaiters; ++i) {
    waiters.emplace_back([&] {
      event.wait();
      ++woken;
    });
  }
  for (int i = 1; i <= kWaiters; ++i) {
    event.set();
    while (woken.load() < i) std::this_thread::yield();  // each set lets exactly one through
    EXPECT_EQ(woken.load(), i);
  }
  for (std::thread& waiter : waiters) waiter.join();
}

TEST(EventTest, ManualResetStaysSignalledForEveryLaterWait) {
  Event event(1);
  std::vector<std::thread> waiters;
  std::atomic<int> woken{0};
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      event.wait();
      ++woken;
    });
  }
  event.set();
  for (std::thread& waiter : waiters) waiter.join();
  EXPECT_EQ(woken.load(), 3);
  event.wait();
  event.wait();
}

}  // namespace
}  // namespace KMC
