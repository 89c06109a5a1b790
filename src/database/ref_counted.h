// kstl::IRefCounted: the intrusive reference count of the database layer's objects.
//
// The table order is the ABI: slot 0 destructor, 1 AddRef, 2 Release, 3 GetRefCount.
// Counts are plain integers; an object and its pointers are used by one thread at a time.
#pragma once

#include <cstdint>

namespace kstl {

class IRefCounted {
 public:
  virtual ~IRefCounted() {}
  // Adds one reference; answers the new count.
  virtual int32_t AddRef() = 0;
  // Drops one reference; answers the new count. An implementation deletes itself when the
  // count falls to 0 or below and then answers 0.
  virtual int32_t Release() = 0;
  virtual int32_t GetRefCount() const = 0;
};

}  // namespace kstl
