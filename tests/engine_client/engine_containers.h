// The engine's standard containers in the release-mode layout of the Windows compilers' library:
//   vector<T>:      { first, last, end of storage }, storage by the container rule of runtime.h;
//   list<int32_t>:  { pointer to a heap-allocated sentinel node, size }, nodes { next, prev,
//                   value }, the sentinel's next is the first node and its prev the last.
#pragma once

#include "freestanding_types.h"
#include "runtime.h"

namespace engine {

template <typename T>
struct vector {
  T* first;
  T* last;
  T* end;

  size_t size() const { return static_cast<size_t>(last - first); }
  size_t capacity() const { return static_cast<size_t>(end - first); }
  T& operator[](size_t i) { return first[i]; }

  // An empty vector with room for capacity elements.
  void reserveEmpty(size_t capacity) {
    first = last = capacity ? static_cast<T*>(client::containerAllocate(capacity * sizeof(T)))
                            : nullptr;
    end = first + capacity;
  }
  void pushWithinCapacity(const T& value) { *last++ = value; }
  void release() {
    client::containerFree(first, capacity() * sizeof(T));
    first = last = end = nullptr;
  }
};

struct list_node {
  list_node* next;
  list_node* prev;
  int32_t value;
};

struct list_int32 {
  list_node* head;  // sentinel
  size_t size;

  void init() {
    head = static_cast<list_node*>(client::heapAllocate(sizeof(list_node)));
    head->next = head->prev = head;
    head->value = 0;
    size = 0;
  }
  void pushBack(int32_t value) {
    list_node* node = static_cast<list_node*>(client::heapAllocate(sizeof(list_node)));
    node->value = value;
    node->next = head;
    node->prev = head->prev;
    head->prev->next = node;
    head->prev = node;
    ++size;
  }
  void release() {
    list_node* node = head->next;
    for (size_t i = 0; i < size && node != head; ++i) {
      list_node* next = node->next;
      client::heapFree(node);
      node = next;
    }
    client::heapFree(head);
    head = nullptr;
    size = 0;
  }
};

}  // namespace engine
