#include <vector>

#include <gtest/gtest.h>

#include "database/ref_counted.h"
#include "database/ref_counted_ptr.h"

namespace {

int g_live = 0;  // instances of Counted not yet deleted

class IOther : public kstl::IRefCounted {
 public:
  virtual int Other() = 0;
};

class IUnrelated : public kstl::IRefCounted {
 public:
  virtual int Unrelated() = 0;
};

// The smallest complete reference-counted object; IOther stands for a derived interface.
class Counted : public IOther {
 public:
  Counted() { ++g_live; }
  ~Counted() override { --g_live; }
  int32_t AddRef() override { return ++count_; }
  // Kept out of line so that the compiler does not see the delete at every call site and
  // warn about counts read while the object is known to be alive.
  __attribute__((noinline)) int32_t Release() override {
    if (--count_ <= 0) {
      delete this;
      return 0;
    }
    return count_;
  }
  int32_t GetRefCount() const override { return count_; }
  int Other() override { return 42; }

 private:
  int32_t count_ = 0;
};

class RefCountedPtrTest : public ::testing::Test {
 protected:
  void SetUp() override { g_live = 0; }
  void TearDown() override { EXPECT_EQ(0, g_live); }
};

TEST_F(RefCountedPtrTest, StlSafePointerCountsEveryCopyAssignmentAndRelease) {
  Counted* object = new Counted;
  EXPECT_EQ(0, object->GetRefCount());
  {
    kstl::RefCountedPtr_STLSafe<kstl::IRefCounted> first(object);
    EXPECT_EQ(1, object->GetRefCount());
    {
      kstl::RefCountedPtr_STLSafe<kstl::IRefCounted> second(first);
      EXPECT_EQ(2, object->GetRefCount());
      std::vector<kstl::RefCountedPtr_STLSafe<kstl::IRefCounted> > list(3, second);
      EXPECT_EQ(5, object->GetRefCount());
      list.clear();
      EXPECT_EQ(2, object->GetRefCount());
    }
    EXPECT_EQ(1, object->GetRefCount());

    // Assigning the pointer already held never lets the count reach 0.
    first = object;
    EXPECT_EQ(1, object->GetRefCount());
    kstl::RefCountedPtr_STLSafe<kstl::IRefCounted>& alias = first;
    first = alias;
    EXPECT_EQ(1, object->GetRefCount());
    EXPECT_EQ(1, g_live);

    // Assigning another target releases the old one, which then deletes itself.
    Counted* next = new Counted;
    first = next;
    EXPECT_EQ(1, next->GetRefCount());
    EXPECT_EQ(1, g_live);
    first.Reset();
    EXPECT_EQ(nullptr, first.Get());
    EXPECT_EQ(0, g_live);
  }
  EXPECT_EQ(0, g_live);
}

TEST_F(RefCountedPtrTest, CopyToHandsTheReceiverItsOwnReference) {
  Counted* object = new Counted;
  kstl::IRefCounted* received = nullptr;
  {
    kstl::RefCountedPtr<kstl::IRefCounted> holder(object);
    EXPECT_EQ(1, object->GetRefCount());
    holder.CopyTo(&received);
    EXPECT_EQ(object, received);
    EXPECT_EQ(2, object->GetRefCount());
    holder.CopyTo(nullptr);  // nowhere to store: nothing happens
    EXPECT_EQ(2, object->GetRefCount());

    kstl::RefCountedPtr<kstl::IRefCounted> empty;
    kstl::IRefCounted* none = object;
    empty.CopyTo(&none);
    EXPECT_EQ(nullptr, none);
  }
  // The holder's reference is gone; the receiver's keeps the object alive.
  EXPECT_EQ(1, g_live);
  EXPECT_EQ(1, received->GetRefCount());
  EXPECT_EQ(0, received->Release());
  EXPECT_EQ(0, g_live);
}

TEST_F(RefCountedPtrTest, QueryPointerHoldsTheObjectOnlyWhenItImplementsTheInterface) {
  Counted* object = new Counted;
  kstl::RefCountedPtr<kstl::IRefCounted> holder(object);
  EXPECT_EQ(1, object->GetRefCount());
  {
    kstl::RefCountedQIPtr<IOther> other(holder.Get());
    ASSERT_TRUE(other);
    EXPECT_EQ(42, other->Other());
    EXPECT_EQ(2, object->GetRefCount());
  }
  EXPECT_EQ(1, object->GetRefCount());
  {
    kstl::RefCountedQIPtr<IUnrelated> unrelated(holder.Get());
    EXPECT_FALSE(unrelated);
    EXPECT_EQ(1, object->GetRefCount());
    kstl::RefCountedQIPtr<IUnrelated> fromNull(static_cast<kstl::IRefCounted*>(nullptr));
    EXPECT_FALSE(fromNull);
  }
  EXPECT_EQ(1, object->GetRefCount());
}

}  // namespace
