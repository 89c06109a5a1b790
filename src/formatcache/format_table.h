// The output's in-memory table of the pixel formats its renderer accepts.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace KMC {

struct FormatEntry {
  int32_t cost;     // handed to the engine unchanged
  int64_t typeId;   // kept, never answered
};

// Keyed by four-cc; std::string orders byte-wise (unsigned), so "BGRA" comes before "BGRX".
typedef std::map<std::string, FormatEntry> FormatTable;

}  // namespace KMC
