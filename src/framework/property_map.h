// The component's properties: name (a literal, not copied) -> value, in byte-wise name order.
#pragma once

#include <cstring>
#include <map>

#include "abi/property_value.h"

namespace KMC {

struct ByteWiseLess {
  bool operator()(const char* a, const char* b) const { return std::strcmp(a, b) < 0; }
};

typedef std::map<const char*, PropertyValue, ByteWiseLess> PropertyMap;

}  // namespace KMC
