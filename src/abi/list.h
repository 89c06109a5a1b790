// The engine's singly linked list (used for the list of video adapter kinds).
#pragma once

#include <cstdint>

#include "abi/kestra_string.h"
#include "abi/standard_allocator.h"

namespace KMC {

template <typename T>
struct Node {
  T value;       // a default node value is bound to this module's allocator singleton
  Node* next = nullptr;
};

template <typename T>
class List {
 public:
  typedef StandardAllocator<Node<T>> NodeAllocator;

  List() : head_(nullptr), tail_(nullptr), count_(0), nodeAllocator_(&NodeAllocator::instance()) {}
  explicit List(NodeAllocator* allocator)
      : head_(nullptr), tail_(nullptr), count_(0), nodeAllocator_(allocator) {}
  List(const List&) = delete;
  List& operator=(const List&) = delete;
  ~List() { clear(); }

  // One node from the node allocator, value assigned, linked after the tail.
  void append(const T& value) {
    Node<T>* node = nodeAllocator_->allocate(1);
    node->value = value;
    node->next = nullptr;
    if (tail_) {
      tail_->next = node;
    } else {
      head_ = node;
    }
    tail_ = node;
    ++count_;
  }

  // Every node goes back to the node allocator.
  void clear() {
    Node<T>* node = head_;
    while (node) {
      Node<T>* next = node->next;
      nodeAllocator_->deallocate(node);
      node = next;
    }
    head_ = tail_ = nullptr;
    count_ = 0;
  }

  // The element at a 0-based index, or null when out of range.
  const T* at(int32_t index) const {
    if (index < 0 || index >= static_cast<int32_t>(count_)) return nullptr;
    const Node<T>* node = head_;
    for (int32_t i = 0; i < index; ++i) node = node->next;
    return &node->value;
  }

  uint32_t count() const { return count_; }
  const Node<T>* head() const { return head_; }

 private:
  Node<T>* head_;
  Node<T>* tail_;
  uint32_t count_;
  NodeAllocator* nodeAllocator_;

  friend struct RecordLayout;  // record_layout.h asserts where the fields lie
};

typedef List<NarrowString> StringList;

}  // namespace KMC
