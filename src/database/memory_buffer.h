// kstl::MemoryBuffer: an owned array of T with a resize that does not keep the contents.
//
// Over std::vector it adds the failure rule the layer needs: an allocation that fails leaves
// the buffer empty (null, count 0) instead of throwing.
#pragma once

#include <cstddef>
#include <cstring>
#include <new>

namespace kstl {

template <class T>
class MemoryBuffer {
 public:
  MemoryBuffer() : data_(nullptr), count_(0) {}
  virtual ~MemoryBuffer() { Resize(0, false); }
  MemoryBuffer(const MemoryBuffer&) = delete;
  MemoryBuffer& operator=(const MemoryBuffer&) = delete;

  // When count differs from the current count the old array is freed (its contents are lost)
  // and a new one of count elements is allocated; a failed allocation leaves the buffer empty.
  // zeroFill then clears the whole array, also when the count did not change. Answers data.
  T* Resize(size_t count, bool zeroFill) {
    if (count != count_) {
      delete[] data_;
      data_ = nullptr;
      count_ = 0;
      if (count != 0) {
        data_ = new (std::nothrow) T[count];
        if (data_) count_ = count;
      }
    }
    if (zeroFill && data_) std::memset(static_cast<void*>(data_), 0, count_ * sizeof(T));
    return data_;
  }

  T* GetData() const { return data_; }
  size_t GetCount() const { return count_; }

 private:
  T* data_;       // null when empty
  size_t count_;  // number of elements of data_
};

}  // namespace kstl
