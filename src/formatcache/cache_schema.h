// The schema of the hardware format cache file, run once each time an output opens the file.
// Every CREATE is conditional, so an existing file keeps its tables, index and triggers.
#pragma once

namespace KMC {

extern const char* const kFormatCacheSchema;
extern const char* const kFormatCacheFileName;  // "Hardware Cache"

}  // namespace KMC
