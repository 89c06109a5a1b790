#include "engine/engine_stream.h"

#include <cstring>

namespace host {

KMC::StreamDescriptor makeStreamDescriptor(const char* fourCC, int32_t kind) {
  KMC::StreamDescriptor descriptor;
  std::memset(&descriptor, 0, sizeof descriptor);
  if (fourCC) std::strncpy(descriptor.fourCC, fourCC, sizeof descriptor.fourCC - 1);
  descriptor.size = static_cast<int32_t>(sizeof descriptor);
  descriptor.kind = kind;
  descriptor.cost = 0;
  return descriptor;
}

}  // namespace host
