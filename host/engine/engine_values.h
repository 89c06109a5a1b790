// The engine's own values as it hands them to the plug-in: rectangles with a table pointer of
// the engine's, and vectors and id lists it owns and frees.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <new>
#include <vector>

#include "abi/engine_containers.h"
#include "abi/format_descriptor.h"
#include "abi/geometry_records.h"

namespace host {

// Stands for the engine's table of RectInt and RectFloat: the plug-in must neither read nor
// write it, so tests can check it is still there.
extern const void* const kEngineRectTable;

inline KMC::RectIntRecord rectInt(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return KMC::RectIntRecord{kEngineRectTable, left, top, right, bottom};
}
inline KMC::RectFloatRecord rectFloat(double left, double top, double right, double bottom) {
  return KMC::RectFloatRecord{kEngineRectTable, left, top, right, bottom};
}

// An engine-owned vector: starts empty without storage (as the engine's library makes one),
// frees its storage at the end.
template <typename T>
class OwnedEngineVector {
 public:
  OwnedEngineVector() { vector_.makeEmpty(); }
  // count value-initialised elements.
  explicit OwnedEngineVector(size_t count) : OwnedEngineVector() {
    for (size_t i = 0; i < count; ++i) {
      if (!vector_.append(T())) throw std::bad_alloc();
    }
  }
  ~OwnedEngineVector() { vector_.freeStorage(); }
  OwnedEngineVector(const OwnedEngineVector&) = delete;
  OwnedEngineVector& operator=(const OwnedEngineVector&) = delete;

  KMC::EngineVector<T>* get() { return &vector_; }
  size_t size() const { return vector_.size(); }
  size_t capacity() const { return vector_.capacity(); }
  bool empty() const { return vector_.empty(); }
  T& operator[](size_t i) { return vector_.first[i]; }
  const T& operator[](size_t i) const { return vector_.first[i]; }
  const T* begin() const { return vector_.begin(); }
  const T* end() const { return vector_.end(); }
  // The elements as a standard vector, for comparisons.
  std::vector<T> values() const { return std::vector<T>(vector_.begin(), vector_.end()); }
  bool append(const T& value) { return vector_.append(value); }

 private:
  KMC::EngineVector<T> vector_;
};

typedef OwnedEngineVector<KMC::FormatDescriptor> OwnedFormatList;
typedef OwnedEngineVector<const char*> OwnedNameList;

// An engine-owned list of channel ids with its sentinel, freed at the end.
class OwnedIdList {
 public:
  OwnedIdList(std::initializer_list<int32_t> ids = {}) {
    if (!list_.makeEmpty()) throw std::bad_alloc();
    for (int32_t id : ids) {
      if (!list_.append(id)) throw std::bad_alloc();
    }
  }
  ~OwnedIdList() { list_.freeNodes(); }
  OwnedIdList(const OwnedIdList&) = delete;
  OwnedIdList& operator=(const OwnedIdList&) = delete;

  KMC::ChannelIdList* get() { return &list_; }
  size_t size() const { return list_.count; }
  std::vector<int32_t> values() const {
    std::vector<int32_t> out;
    list_.forEach([&out](int32_t id) { out.push_back(id); });
    return out;
  }
  bool append(int32_t id) { return list_.append(id); }

 private:
  KMC::ChannelIdList list_;
};

}  // namespace host
