// One entry of the format list the output answers to the engine's format query; the same
// layout starts the stream descriptor the engine gives to createPort.
#pragma once

#include <cstddef>
#include <cstdint>

#include "abi/engine_containers.h"

namespace KMC {

struct FormatDescriptor {
  char fourCC[8];    // zero-terminated format code, field zeroed first
  int32_t size;      // always 20
  int32_t kind;      // media kind (1 or 4)
  int32_t cost;      // cost of the format
};

typedef EngineVector<FormatDescriptor> FormatList;

// The engine's stream descriptor: only the leading format code and the kind are read.
typedef FormatDescriptor StreamDescriptor;

}  // namespace KMC
