// The engine string: a zero-terminated character buffer that carries the allocator owning it.
//
// It crosses the engine boundary (interface identifiers, property values, setting keys, list
// elements). Every buffer is freed through the allocator recorded in the string, never through
// a global heap call, so a string made by the engine can be freed by the plug-in and vice versa.
#pragma once

#include <cstdint>

#include "abi/standard_allocator.h"

namespace KMC {

template <typename T, typename Allocator>
class kestra_string {
 public:
  // An empty (null) string bound to this module's allocator singleton.
  kestra_string() : data_(nullptr), length_(0), allocator_(&Allocator::instance()) {}

  // From a zero-terminated array; null gives a null string without a buffer.
  kestra_string(const T* text, Allocator* allocator)
      : data_(nullptr), length_(0), allocator_(allocator) {
    assign(text, lengthOf(text));
  }

  // A copy with a fresh buffer from the given allocator.
  kestra_string(const kestra_string& other, Allocator* allocator)
      : data_(nullptr), length_(0), allocator_(allocator) {
    if (other.data_) assign(other.data_, other.length_);
  }

  // A copy bound to the source's allocator (used when a string is passed by value).
  kestra_string(const kestra_string& other) : kestra_string(other, other.allocator_) {}

  kestra_string(kestra_string&& other) noexcept
      : data_(other.data_), length_(other.length_), allocator_(other.allocator_) {
    other.data_ = nullptr;
    other.length_ = 0;
  }

  // Keeps this string's allocator: frees the old buffer and copies into a new one.
  kestra_string& operator=(const kestra_string& other) {
    if (this == &other) return *this;
    if (!other.data_) {
      clear();
      return *this;
    }
    T* fresh = allocator_->allocate(static_cast<uint32_t>(other.length_) + 1);
    for (int32_t i = 0; i <= other.length_; ++i) fresh[i] = other.data_[i];
    clear();
    data_ = fresh;
    length_ = other.length_;
    return *this;
  }

  ~kestra_string() { clear(); }

  void clear() {
    if (data_) allocator_->deallocate(data_);
    data_ = nullptr;
    length_ = 0;
  }

  // Exact, case-sensitive comparison; a null string equals an empty one.
  bool operator==(const kestra_string& other) const {
    if (length_ != other.length_) return false;
    for (int32_t i = 0; i < length_; ++i) {
      if (data_[i] != other.data_[i]) return false;
    }
    return true;
  }
  bool operator!=(const kestra_string& other) const { return !(*this == other); }

  const T* data() const { return data_; }
  int32_t length() const { return length_; }
  Allocator* allocator() const { return allocator_; }

 private:
  static int32_t lengthOf(const T* text) {
    int32_t n = 0;
    if (text) {
      while (text[n] != 0) ++n;
    }
    return n;
  }

  void assign(const T* text, int32_t length) {
    if (!text) return;
    data_ = allocator_->allocate(static_cast<uint32_t>(length) + 1);
    for (int32_t i = 0; i < length; ++i) data_[i] = text[i];
    data_[length] = 0;
    length_ = length;
  }

  T* data_;          // buffer with terminator; null for a null string
  int32_t length_;   // characters before the terminator
  Allocator* allocator_;

  friend struct RecordLayout;  // record_layout.h asserts where the fields lie
};

typedef kestra_string<char, StandardAllocator<char>> NarrowString;
typedef kestra_string<unsigned short, StandardAllocator<unsigned short>> WideString;

}  // namespace KMC
