// The ordering rule between threads: locks asked for in any order never deadlock, and a lock a
// thread suspends is free for others while it waits.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <boost/thread/thread.hpp>

#include "threading/lock_guard.h"
#include "threading/policy_lock_manager.h"

namespace KMC {
namespace {

typedef std::vector<LockId> Ids;

// A one-shot flag threads can wait for.
class Latch {
 public:
  void open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  void wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return open_; });
  }
  // Deadlock guard for the test itself, not a timing check: a correct manager opens the latch
  // at once, a broken one never does.
  bool waitFor(std::chrono::seconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

TEST(LockOrderingTest, EveryOrderUnderContentionKeepsExclusionAndAscendingHeldLocks) {
  PolicyLockManager m;
  const std::array<LockId, 3> ids = {m.createLock(), m.createLock(), m.createLock()};
  std::array<long, 3> counters = {0, 0, 0};  // counters[i] guarded by lock ids[i]
  const int kThreads = 4;
  const int kRounds = 300;
  std::vector<int> failures(kThreads, 0);

  auto worker = [&](int t) {
    std::array<int, 3> order = {0, 1, 2};
    for (int i = 0; i < t; ++i) std::next_permutation(order.begin(), order.end());
    for (int round = 0; round < kRounds; ++round) {
      std::next_permutation(order.begin(), order.end());  // every order comes up
      {
        LockGuard first(m, ids[order[0]], LockMode::Locked);
        ++counters[order[0]];
        LockGuard second(m, ids[order[1]], LockMode::Locked);
        LockGuard third(m, ids[order[2]], LockMode::Locked);
        if (m.heldLocks() != Ids(ids.begin(), ids.end()) || !m.suspendedLocks().empty()) ++failures[t];
        for (long& counter : counters) ++counter;
        if (round % 3 == 0) {
          // Give the middle lock up for a moment inside the held region.
          LockGuard gap(m, ids[1], LockMode::Unlocked);
          if (m.heldLocks() != Ids({ids[0], ids[2]})) ++failures[t];
        }
        if (m.heldLocks() != Ids(ids.begin(), ids.end())) ++failures[t];
      }
      if (m.hasThreadLockList()) ++failures[t];
    }
  };

  std::vector<std::thread> stdThreads;
  boost::thread_group boostThreads;
  for (int t = 0; t < kThreads; ++t) {
    if (t % 2) {
      stdThreads.emplace_back(worker, t);
    } else {
      boostThreads.create_thread([&worker, t] { worker(t); });
    }
  }
  for (std::thread& thread : stdThreads) thread.join();
  boostThreads.join_all();

  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
  const long perThread = static_cast<long>(kRounds);
  EXPECT_EQ(counters[0] + counters[1] + counters[2], kThreads * perThread * 4);
}

TEST(LockOrderingTest, AskingForTheMiddleLockFreesTheHigherOneWhileWaiting) {
  PolicyLockManager m;
  const LockId one = m.createLock(), two = m.createLock(), three = m.createLock();
  Latch twoTakenByB, aHoldsOneAndThree, cGotThree, releaseTwo;
  Ids aHeldAtEnd, aSuspendedAtEnd;

  std::thread b([&] {
    LockGuard guard(m, two, LockMode::Locked);
    twoTakenByB.open();
    releaseTwo.wait();
  });
  twoTakenByB.wait();

  std::thread a([&] {
    LockGuard g1(m, one, LockMode::Locked);
    LockGuard g3(m, three, LockMode::Locked);
    aHoldsOneAndThree.open();
    LockGuard g2(m, two, LockMode::Locked);  // waits for b, with three let go
    aHeldAtEnd = m.heldLocks();
    aSuspendedAtEnd = m.suspendedLocks();
  });
  aHoldsOneAndThree.wait();

  std::thread c([&] {
    LockGuard guard(m, three, LockMode::Locked);  // possible only while a waits for two
    cGotThree.open();
  });
  bool threeWasFree = cGotThree.waitFor(std::chrono::seconds(60));
  releaseTwo.open();
  a.join();
  b.join();
  c.join();

  EXPECT_TRUE(threeWasFree) << "lock three stayed held while its holder waited for lock two";
  EXPECT_EQ(aHeldAtEnd, Ids({one, two, three}));
  EXPECT_TRUE(aSuspendedAtEnd.empty());
}

}  // namespace
}  // namespace KMC
