// The engine's small polymorphic allocator, one class per element type.
//
// Strings and lists that cross between engine and plug-in record the allocator that owns their
// storage and are always freed through it, so each side frees with its own heap. Each
// instantiation is a process-wide (per module) singleton built on first use.
#pragma once

#include <cstdint>
#include <limits>
#include <new>

#include "abi/abi.h"

namespace KMC {

template <typename T>
class StandardAllocator : public EngineTable {
 public:
  /* 0 */ void* deletingDestructor(uint32_t flags) override { return runDeletingDestructor(this, flags); }
  /* 1 */ virtual T* allocate(uint32_t count);
  /* 2 */ virtual void deallocate(T* pointer) { delete[] pointer; }

  // The singleton of this module for T.
  static StandardAllocator& instance() {
    static StandardAllocator allocator;
    return allocator;
  }
};
// The singletons are never deleted through entry 0.
//  1 allocate: storage for count elements (array new). A byte size that does not fit in 32 bits
//    fails with std::bad_alloc.
//  2 deallocate: frees storage from allocate (array delete).

template <typename T>
T* StandardAllocator<T>::allocate(uint32_t count) {
  if (static_cast<uint64_t>(count) * sizeof(T) > std::numeric_limits<uint32_t>::max()) {
    throw std::bad_alloc();
  }
  return new T[count];
}

}  // namespace KMC
