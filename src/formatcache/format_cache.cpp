#include "formatcache/format_cache.h"

namespace KMC {

FormatCache::FormatCache() {}
FormatCache::~FormatCache() {}

void FormatCache::registerFormat(int32_t cost, int64_t typeId, const char* fourCC) {
  if (!fourCC) return;
  table_[fourCC] = FormatEntry{cost, typeId};
  // The database half is added with the cache file.
}

void FormatCache::purge() {}

}  // namespace KMC
