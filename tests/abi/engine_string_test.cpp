#include <gtest/gtest.h>

#include "abi/kestra_string.h"
#include "abi/list.h"
#include "framework/engine_text.h"

namespace {

using KMC::StandardAllocator;

// An allocator that counts what goes through it, to prove every buffer is freed through the
// allocator recorded in the string that owns it.
class CountingAllocator : public StandardAllocator<char> {
 public:
  char* allocate(uint32_t count) override {
    ++allocations;
    return StandardAllocator<char>::allocate(count);
  }
  void deallocate(char* pointer) override {
    ++deallocations;
    StandardAllocator<char>::deallocate(pointer);
  }
  int allocations = 0;
  int deallocations = 0;
};

typedef KMC::kestra_string<char, StandardAllocator<char>> String;

TEST(EngineString, NullSourceHasNoBufferAndFreesNothing) {
  CountingAllocator allocator;
  {
    String null(nullptr, &allocator);
    EXPECT_EQ(null.data(), nullptr);
    EXPECT_EQ(null.length(), 0);
    String copy(null, &allocator);
    EXPECT_EQ(copy.data(), nullptr);
    EXPECT_EQ(copy.length(), 0);
    EXPECT_TRUE(null == String("", &allocator));  // a null string equals an empty one
  }
  EXPECT_EQ(allocator.allocations, 1);    // only the empty string's terminator
  EXPECT_EQ(allocator.deallocations, 1);
}

TEST(EngineString, EmptySourceHoldsOnlyTheTerminator) {
  CountingAllocator allocator;
  String empty("", &allocator);
  ASSERT_NE(empty.data(), nullptr);
  EXPECT_EQ(empty.data()[0], '\0');
  EXPECT_EQ(empty.length(), 0);
}

TEST(EngineString, CopiesAndAssignmentsFreeThroughTheirOwnAllocator) {
  CountingAllocator engine;
  CountingAllocator plugin;
  {
    String original("com.kestra.videoadapter.HWND", &engine);
    String copy(original, &plugin);
    EXPECT_NE(copy.data(), original.data());  // never shares the buffer
    EXPECT_EQ(copy.allocator(), &plugin);
    EXPECT_TRUE(copy == original);
    EXPECT_EQ(toStdString(copy), "com.kestra.videoadapter.HWND");

    String target("old", &plugin);
    target = original;  // keeps the destination's allocator
    EXPECT_EQ(target.allocator(), &plugin);
    EXPECT_EQ(toStdString(target), "com.kestra.videoadapter.HWND");
    target = target;  // self-assignment keeps the text
    EXPECT_EQ(target.length(), 28);
  }
  EXPECT_EQ(engine.allocations, engine.deallocations);
  EXPECT_EQ(engine.allocations, 1);
  EXPECT_EQ(plugin.allocations, plugin.deallocations);
  EXPECT_EQ(plugin.allocations, 3);  // copy, "old", and the assigned text
}

TEST(EngineString, ComparisonIsExactAndCaseSensitive) {
  String a("com.kestra.mediacore.interface.output", &StandardAllocator<char>::instance());
  String b("com.kestra.mediacore.interface.Output", &StandardAllocator<char>::instance());
  String c("com.kestra.mediacore.interface.outpu", &StandardAllocator<char>::instance());
  EXPECT_FALSE(a == b);
  EXPECT_FALSE(a == c);
  EXPECT_TRUE(a == String(a, &StandardAllocator<char>::instance()));
}

TEST(EngineString, WideStringConvertsToUtf8) {
  const unsigned short text[] = {'G', 0x00E9, 0xD83D, 0xDE00, 0};
  KMC::WideString wide(text, &StandardAllocator<unsigned short>::instance());
  EXPECT_EQ(wide.length(), 4);
  EXPECT_EQ(toStdString(wide), "G\xC3\xA9\xF0\x9F\x98\x80");
}

TEST(EngineString, AllocationThatOverflows32BitsFails) {
  StandardAllocator<uint64_t> allocator;
  EXPECT_THROW(allocator.allocate(0x20000000u), std::bad_alloc);
}

TEST(EngineList, AppendsInOrderAndClears) {
  KMC::StringList list;
  String hwnd("com.kestra.videoadapter.HWND", &StandardAllocator<char>::instance());
  String gl("com.kestra.videoadapter.ExternalGL", &StandardAllocator<char>::instance());
  list.append(hwnd);
  list.append(gl);
  ASSERT_EQ(list.count(), 2u);
  EXPECT_TRUE(*list.at(0) == hwnd);
  EXPECT_TRUE(*list.at(1) == gl);
  EXPECT_EQ(list.at(2), nullptr);
  EXPECT_EQ(list.at(-1), nullptr);
  list.clear();
  EXPECT_EQ(list.count(), 0u);
  EXPECT_EQ(list.head(), nullptr);
}

}  // namespace
