// The 16-byte tagged value of properties, setting answers, port values and parameters.
#pragma once

#include <cstddef>
#include <cstdint>

namespace KMC {

// Type codes used by this library.
enum PropertyType : uint8_t {
  kPropertyInt32 = 5,          // 32-bit integer in the first four payload bytes
  kPropertyNarrowString = 11,  // pointer to a NarrowString object
  kPropertyWideString = 13,    // pointer to a WideString object
  kPropertyObject = 14,        // pointer to an object
};

struct alignas(8) PropertyValue {
  uint8_t type;
  uint8_t padding[7];
  union Payload {
    int32_t int32;
    int64_t int64;
    void* pointer;
    uint8_t bytes[8];
  } payload;

  PropertyValue() : type(0), padding{} { payload.int64 = 0; }
  static PropertyValue ofInt32(int32_t value) {
    PropertyValue v;
    v.type = kPropertyInt32;
    v.payload.int32 = value;
    return v;
  }
  static PropertyValue ofPointer(uint8_t type, void* pointer) {
    PropertyValue v;
    v.type = type;
    v.payload.pointer = pointer;
    return v;
  }
};

}  // namespace KMC
