// The engine's containers and entry 0 as the engine's library and compiler make them.
#include <gtest/gtest.h>

#include <vector>

#include "abi/abi.h"
#include "abi/engine_containers.h"

namespace {

// Counts its destructions; storage comes from plain new, as entry 0 expects.
struct Counted {
  static int destroyed;
  ~Counted() { ++destroyed; }
  int32_t payload = 7;
};
int Counted::destroyed = 0;

TEST(EntryZero, DestroysAlwaysAndFreesOnlyWhenAskedAndAnswersTheAddress) {
  Counted::destroyed = 0;
  Counted* kept = static_cast<Counted*>(::operator new(sizeof(Counted)));
  new (kept) Counted();
  EXPECT_EQ(KMC::runDeletingDestructor(kept, 0), kept);
  EXPECT_EQ(Counted::destroyed, 1);
  ::operator delete(kept);  // still ours: flag 0 left the storage alone

  Counted* freed = new Counted();
  const uintptr_t address = reinterpret_cast<uintptr_t>(freed);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(KMC::runDeletingDestructor(freed, KMC::kFreeStorage)), address);
  EXPECT_EQ(Counted::destroyed, 2);  // and LeakSanitizer sees the storage go
}

TEST(EngineVector, GrowsByHalfAndKeepsBigBlocksAlignedAcrossReallocations) {
  KMC::EngineVector<int32_t> vector;
  vector.makeEmpty();
  std::vector<size_t> capacities;
  for (int32_t i = 0; i < 2000; ++i) {
    ASSERT_TRUE(vector.append(i));
    if (capacities.empty() || capacities.back() != vector.capacity()) capacities.push_back(vector.capacity());
    if (vector.capacity() * sizeof(int32_t) >= 4096) {
      ASSERT_EQ(reinterpret_cast<uintptr_t>(vector.first) % 32, 0u) << vector.capacity();
    }
  }
  // 1, 2, 3, 4, 6, 9, 13, ... as the engine's library grows a vector one element at a time.
  ASSERT_GE(capacities.size(), 8u);
  EXPECT_EQ((std::vector<size_t>(capacities.begin(), capacities.begin() + 8)),
            (std::vector<size_t>{1, 2, 3, 4, 6, 9, 13, 19}));
  for (int32_t i = 0; i < 2000; ++i) ASSERT_EQ(vector[static_cast<size_t>(i)], i);
  EXPECT_TRUE(vector.freeStorage());
  EXPECT_EQ(vector.first, nullptr);
}

TEST(EngineVector, RefusesPointersNoLibraryWouldMake) {
  int32_t storage[4] = {};
  KMC::EngineVector<int32_t> backwards{storage + 2, storage, storage + 4};
  EXPECT_FALSE(backwards.append(1));
  KMC::EngineVector<int32_t> halfNull{nullptr, storage, nullptr};
  EXPECT_FALSE(halfNull.append(1));
  EXPECT_FALSE(halfNull.freeStorage());
}

TEST(ChannelIdList, AppendsBeforeTheSentinelAndNeedsOne) {
  KMC::ChannelIdList list;
  ASSERT_TRUE(list.makeEmpty());
  EXPECT_EQ(list.head->next, list.head);
  for (int32_t id : {3, 1, 2}) ASSERT_TRUE(list.append(id));
  std::vector<int32_t> seen;
  EXPECT_TRUE(list.forEach([&](int32_t id) { seen.push_back(id); }));
  EXPECT_EQ(seen, (std::vector<int32_t>{3, 1, 2}));
  EXPECT_EQ(list.count, 3u);
  EXPECT_EQ(list.head->prev->value, 2);  // the last, reached backwards as the engine does
  list.freeNodes();

  KMC::ChannelIdList none{nullptr, 0};
  EXPECT_FALSE(none.append(1));
  EXPECT_FALSE(none.forEach([](int32_t) {}));
}

}  // namespace
