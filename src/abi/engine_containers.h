// The engine's standard containers, as its library lays them out in a release build.
//
// The engine hands the plug-in a vector to append to (listProperties, queryFormats) and lists of
// channel ids (the selection parameters). Their layout and their allocation rules are the
// engine's library's, not those of whichever library builds the plug-in, so they are this
// project's own types:
//
//  - EngineVector<T>: {first, last, end of storage}. Storage comes from the engine's heap
//    (engine_heap.h). A block of 4096 bytes or more is 32-byte aligned: the library takes
//    size + sizeof(void*) + 31 bytes and stores the address it got in the word just before the
//    aligned block; freeing reads it back. Growing takes 1.5 times the old capacity, or what is
//    needed when that is more, as the engine's library does, so the engine sees the capacities
//    it would have made itself.
//  - EngineList<T>: {head, size}, head pointing to a sentinel node on the heap; nodes are
//    {next, prev, value}, the sentinel's next is the first element and its prev the last.
//
// Only what the two sides do with them is here: read, append, and (for the engine stand-in)
// make and free. An operation that finds the container malformed (a vector's big block without
// its stored address, a list without its sentinel) answers false and changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>

#include "abi/engine_heap.h"

namespace KMC {

namespace engine_library {

constexpr size_t kBigBlock = 4096;     // blocks this size or larger are aligned
constexpr size_t kBigAlignment = 32;
constexpr size_t kBigExtra = sizeof(void*) + kBigAlignment - 1;

// Storage for bytes, as the engine's allocator gives it; null when out of memory.
inline void* allocateBlock(size_t bytes) {
  if (bytes < kBigBlock) return engineHeapAllocate(bytes);
  if (bytes > std::numeric_limits<size_t>::max() - kBigExtra) return nullptr;
  uintptr_t container = reinterpret_cast<uintptr_t>(engineHeapAllocate(bytes + kBigExtra));
  if (!container) return nullptr;
  uintptr_t aligned = (container + kBigExtra) & ~uintptr_t(kBigAlignment - 1);
  reinterpret_cast<uintptr_t*>(aligned)[-1] = container;
  return reinterpret_cast<void*>(aligned);
}

// The address the heap gave for a block of bytes, or null when the block cannot be one of the
// allocator's (a big block whose stored address is not within reach before it).
inline void* heapAddressOf(void* block, size_t bytes) {
  if (!block || bytes < kBigBlock) return block;
  uintptr_t aligned = reinterpret_cast<uintptr_t>(block);
  if (aligned % kBigAlignment != 0) return nullptr;
  uintptr_t container = reinterpret_cast<uintptr_t*>(aligned)[-1];
  if (container > aligned) return nullptr;
  uintptr_t shift = aligned - container;
  if (shift < sizeof(void*) || shift > kBigExtra) return nullptr;
  return reinterpret_cast<void*>(container);
}

}  // namespace engine_library

template <typename T>
struct EngineVector {
  static_assert(std::is_trivially_copyable<T>::value, "engine vectors here hold plain values");

  // Null by default: an empty vector without storage, as the engine's library constructs one.
  T* first = nullptr;
  T* last = nullptr;
  T* endOfStorage = nullptr;

  size_t size() const { return static_cast<size_t>(last - first); }
  size_t capacity() const { return static_cast<size_t>(endOfStorage - first); }
  bool empty() const { return first == last; }
  const T* begin() const { return first; }
  const T* end() const { return last; }
  const T& operator[](size_t i) const { return first[i]; }

  static constexpr size_t maxSize() {
    return (std::numeric_limits<ptrdiff_t>::max)() / sizeof(T) <
                   (std::numeric_limits<size_t>::max)() / sizeof(T)
               ? static_cast<size_t>((std::numeric_limits<ptrdiff_t>::max)()) / sizeof(T)
               : (std::numeric_limits<size_t>::max)() / sizeof(T);
  }

  // Whether the three pointers describe storage this library could have made (or none).
  bool wellFormed() const {
    if (!first) return !last && !endOfStorage;
    if (last < first || endOfStorage < last) return false;
    return engine_library::heapAddressOf(first, capacity() * sizeof(T)) != nullptr;
  }

  // Appends value, growing the storage as the engine's library would. False (nothing changed)
  // when the vector is malformed or memory runs out.
  bool append(const T& value) {
    if (!wellFormed()) return false;
    if (last == endOfStorage && !grow(size() + 1)) return false;
    std::memcpy(static_cast<void*>(last), &value, sizeof(T));
    ++last;
    return true;
  }

  // An empty vector without storage (as the engine's library constructs one).
  void makeEmpty() { first = last = endOfStorage = nullptr; }

  // Gives the storage back; the vector is empty afterwards. False (nothing freed) when
  // malformed.
  bool freeStorage() {
    if (!wellFormed()) return false;
    engineHeapFree(engine_library::heapAddressOf(first, capacity() * sizeof(T)));
    makeEmpty();
    return true;
  }

  // Room for at least count elements. False when malformed or out of memory.
  bool reserve(size_t count) {
    if (!wellFormed()) return false;
    return count <= capacity() || grow(count);
  }

 private:
  size_t grownCapacity(size_t required) const {
    const size_t old = capacity();
    if (old > maxSize() - old / 2) return maxSize();
    const size_t geometric = old + old / 2;
    return geometric < required ? required : geometric;
  }

  bool grow(size_t required) {
    if (required > maxSize()) return false;
    const size_t count = grownCapacity(required);
    T* fresh = static_cast<T*>(engine_library::allocateBlock(count * sizeof(T)));
    if (!fresh) return false;
    const size_t kept = size();
    if (kept) std::memcpy(static_cast<void*>(fresh), first, kept * sizeof(T));
    engineHeapFree(engine_library::heapAddressOf(first, capacity() * sizeof(T)));
    first = fresh;
    last = fresh + kept;
    endOfStorage = fresh + count;
    return true;
  }
};

template <typename T>
struct EngineListNode {
  EngineListNode* next;
  EngineListNode* prev;
  T value;
};

template <typename T>
struct EngineList {
  static_assert(std::is_trivially_copyable<T>::value, "engine lists here hold plain values");
  typedef EngineListNode<T> Node;

  Node* head = nullptr;   // the sentinel; a list without one is refused until makeEmpty
  size_t count = 0;

  // Calls visit(value) for every element, first to last. False when the list has no sentinel.
  template <typename Visit>
  bool forEach(Visit visit) const {
    if (!head) return false;
    for (const Node* node = head->next; node && node != head; node = node->next) visit(node->value);
    return true;
  }

  // Links a new node with value after the last one. False (nothing changed) when the list has
  // no sentinel or memory runs out.
  bool append(const T& value) {
    if (!head || !head->prev) return false;
    Node* node = static_cast<Node*>(engine_library::allocateBlock(sizeof(Node)));
    if (!node) return false;
    node->value = value;
    node->next = head;
    node->prev = head->prev;
    head->prev->next = node;
    head->prev = node;
    ++count;
    return true;
  }

  // An empty list with its own sentinel, as the engine's library constructs one. False when
  // out of memory (the list is then left without one).
  bool makeEmpty() {
    head = static_cast<Node*>(engine_library::allocateBlock(sizeof(Node)));
    count = 0;
    if (!head) return false;
    head->next = head->prev = head;
    return true;
  }

  // Frees every node and the sentinel.
  void freeNodes() {
    if (!head) return;
    Node* node = head->next;
    while (node && node != head) {
      Node* next = node->next;
      engineHeapFree(node);
      node = next;
    }
    engineHeapFree(head);
    head = nullptr;
    count = 0;
  }
};

typedef EngineList<int32_t> ChannelIdList;

}  // namespace KMC
