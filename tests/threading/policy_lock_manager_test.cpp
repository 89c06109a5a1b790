// Single-thread rules of the lock manager: modes, nesting, lists, ids.
#include "threading/policy_lock_manager.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "threading/lock_guard.h"

namespace KMC {
namespace {

typedef std::vector<LockId> Ids;

class PolicyLockManagerTest : public ::testing::Test {
 protected:
  PolicyLockManagerTest() : a(m.createLock()), b(m.createLock()), c(m.createLock()) {}

  // Whether another thread could take lock id through its own guard right now.
  bool freeForOtherThread(LockId id) {
    bool taken = false;
    std::thread other([&] {
      LockGuard guard(m, id, LockMode::Locked);
      taken = m.holds(id);
    });
    other.join();
    return taken;
  }

  PolicyLockManager m;
  LockId a, b, c;
};

TEST_F(PolicyLockManagerTest, IdsAscendAcrossManagersAndAreNeverReused) {
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);
  PolicyLockManager other;
  LockId d = other.createLock();
  EXPECT_GT(d, c);
  EXPECT_TRUE(other.destroyLock(d));
  EXPECT_GT(other.createLock(), d);
}

TEST_F(PolicyLockManagerTest, DestroyLockAnswersWhetherTheIdWasRegistered) {
  EXPECT_TRUE(m.destroyLock(b));
  EXPECT_FALSE(m.destroyLock(b));
  PolicyLockManager other;
  EXPECT_FALSE(other.destroyLock(a));  // another manager's lock
  EXPECT_TRUE(m.destroyLock(a));
}

TEST_F(PolicyLockManagerTest, UnknownOrDestroyedIdIsRefusedAndLeavesGuardInert) {
  LockId unknown = c + 1000;
  LockGuard guard;
  EXPECT_FALSE(m.acquire(guard, unknown, LockMode::Locked));
  EXPECT_FALSE(guard.isActive());
  EXPECT_FALSE(m.hasThreadLockList());
  guard.release();  // no-op

  ASSERT_TRUE(m.destroyLock(b));
  LockGuard holdA(m, a, LockMode::Locked);
  LockGuard onDestroyed(m, b, LockMode::Locked);
  EXPECT_FALSE(onDestroyed.isActive());
  EXPECT_EQ(m.heldLocks(), Ids({a}));
}

TEST_F(PolicyLockManagerTest, ThreadListLivesExactlyAsLongAsItsGuards) {
  EXPECT_FALSE(m.hasThreadLockList());
  {
    LockGuard outer(m, a, LockMode::None);
    EXPECT_TRUE(m.hasThreadLockList());
    EXPECT_FALSE(m.holds(a));
    {
      LockGuard inner(m, b, LockMode::Locked);
      EXPECT_EQ(m.heldLocks(), Ids({b}));
    }
    EXPECT_TRUE(m.hasThreadLockList());  // a's entry still there
    EXPECT_TRUE(m.heldLocks().empty());
  }
  EXPECT_FALSE(m.hasThreadLockList());
  {
    LockGuard again(m, c, LockMode::Locked);
    EXPECT_TRUE(m.hasThreadLockList());
    EXPECT_EQ(m.heldLocks(), Ids({c}));
  }
  EXPECT_FALSE(m.hasThreadLockList());
  EXPECT_TRUE(freeForOtherThread(c));
}

TEST_F(PolicyLockManagerTest, LockedInsideNoneStaysHeldUntilTheOuterGuardEnds) {
  LockGuard outer(m, a, LockMode::None);
  {
    LockGuard inner(m, a, LockMode::Locked);
    EXPECT_TRUE(m.holds(a));
    EXPECT_EQ(m.mode(a), LockMode::Locked);
  }
  EXPECT_TRUE(m.holds(a));  // mode back to None, the mutex left as the scope left it
  EXPECT_EQ(m.mode(a), LockMode::None);
  outer.release();
  EXPECT_FALSE(m.holds(a));
  EXPECT_FALSE(m.hasThreadLockList());
  EXPECT_TRUE(freeForOtherThread(a));
}

TEST_F(PolicyLockManagerTest, UnlockedGuardLetsTheLockGoForItsScopeOnly) {
  LockGuard locked(m, b, LockMode::Locked);
  {
    LockGuard unlocked(m, b, LockMode::Unlocked);
    EXPECT_FALSE(m.holds(b));
    EXPECT_TRUE(m.heldLocks().empty());
    EXPECT_TRUE(freeForOtherThread(b));
  }
  EXPECT_TRUE(m.holds(b));  // taken back on release
  EXPECT_EQ(m.heldLocks(), Ids({b}));
}

TEST_F(PolicyLockManagerTest, UnlockedInsideLockedRetakesRespectingTheOrder) {
  LockGuard la(m, a, LockMode::Locked);
  LockGuard lc(m, c, LockMode::Locked);
  {
    LockGuard ua(m, a, LockMode::Unlocked);
    EXPECT_EQ(m.heldLocks(), Ids({c}));
  }
  EXPECT_EQ(m.heldLocks(), Ids({a, c}));
  EXPECT_TRUE(m.suspendedLocks().empty());
}

// The sleep pattern of the output thread: Unlocked guards on all three locks (highest first),
// released lowest first, take back the locks that were Locked and leave a lock that was held
// under mode None released.
TEST_F(PolicyLockManagerTest, SleepScopeRestoresLockedLocksAndDropsThoseHeldUnderNone) {
  LockGuard noneA(m, a, LockMode::None), noneB(m, b, LockMode::None), noneC(m, c, LockMode::None);
  LockGuard lockA(m, a, LockMode::Locked), lockB(m, b, LockMode::Locked);
  { LockGuard lockC(m, c, LockMode::Locked); }  // c stays held under mode None
  ASSERT_EQ(m.heldLocks(), Ids({a, b, c}));
  {
    LockGuard uc(m, c, LockMode::Unlocked), ub(m, b, LockMode::Unlocked), ua(m, a, LockMode::Unlocked);
    EXPECT_TRUE(m.heldLocks().empty());
    ua.release();
    ub.release();
    uc.release();
  }
  EXPECT_EQ(m.heldLocks(), Ids({a, b}));
  EXPECT_FALSE(m.holds(c));
  EXPECT_EQ(m.reorderedRequests(), 0u);  // every step kept the order: nothing let go and retaken
}

TEST_F(PolicyLockManagerTest, AskingForLowerLockKeepsHeldLocksAscending) {
  LockGuard lc(m, c, LockMode::Locked);
  LockGuard la(m, a, LockMode::Locked);
  EXPECT_EQ(m.heldLocks(), Ids({a, c}));
  LockGuard lb(m, b, LockMode::Locked);
  EXPECT_EQ(m.heldLocks(), Ids({a, b, c}));
  LockGuard again(m, c, LockMode::Locked);  // already held on top: nothing moves
  EXPECT_EQ(m.heldLocks(), Ids({a, b, c}));
  EXPECT_TRUE(m.suspendedLocks().empty());
  lb.release();  // b's last guard: the state goes and lets b go from under c
  EXPECT_EQ(m.heldLocks(), Ids({a, c}));
  EXPECT_TRUE(m.suspendedLocks().empty());
  // Taking a and b under c, and giving b up under c: three times c was let go and taken back.
  EXPECT_EQ(m.reorderedRequests(), 3u);
}

TEST_F(PolicyLockManagerTest, SecondReleaseDoesNotDropAnotherGuardsClaim) {
  LockGuard outer(m, a, LockMode::Locked);
  LockGuard inner(m, a, LockMode::Locked);
  inner.release();
  inner.release();
  EXPECT_FALSE(inner.isActive());
  EXPECT_TRUE(m.holds(a));  // a double decrement would have destroyed the state
  outer.release();
  EXPECT_FALSE(m.hasThreadLockList());
}

TEST_F(PolicyLockManagerTest, ReusedGuardReleasesItsEarlierClaimFirst) {
  LockGuard guard(m, a, LockMode::Locked);
  ASSERT_TRUE(m.acquire(guard, b, LockMode::Locked));
  EXPECT_EQ(m.heldLocks(), Ids({b}));
  guard.release();
  EXPECT_FALSE(m.hasThreadLockList());
}

TEST_F(PolicyLockManagerTest, ListsArePerThreadAndPerManager) {
  PolicyLockManager other;
  LockId x = other.createLock();
  LockGuard mine(m, a, LockMode::Locked);
  LockGuard otherGuard(other, x, LockMode::Locked);
  EXPECT_EQ(m.heldLocks(), Ids({a}));
  EXPECT_EQ(other.heldLocks(), Ids({x}));
  std::thread([&] {
    EXPECT_FALSE(m.hasThreadLockList());
    EXPECT_FALSE(m.holds(a));
  }).join();
}

}  // namespace
}  // namespace KMC
