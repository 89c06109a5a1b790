// The hardware format cache of one output: the in-memory format table and, when the engine's
// setting turns it on, the per-user database file that records which formats this machine's
// renderer accepts.
//
// Used from the engine threads that call create, destroy and the format query, one at a time;
// takes no locks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "formatcache/format_table.h"

namespace KMC {

class FormatCache {
 public:
  FormatCache();
  ~FormatCache();
  FormatCache(const FormatCache&) = delete;
  FormatCache& operator=(const FormatCache&) = delete;

  // The key of this machine's row and whether the cache is on, recomputed at every create and
  // format query.
  void setHardwareName(const std::string& name) { hardwareName_ = name; }
  const std::string& hardwareName() const { return hardwareName_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }
  bool enabled() const { return enabled_; }

  // Enters the format in the table and, when the cache is on, in the database.
  void registerFormat(int32_t cost, int64_t typeId, const char* fourCC);
  const FormatTable& table() const { return table_; }

  // Housekeeping at destroy: with the cache on, deletes machines unused for a calendar month;
  // off, deletes this machine's row (when the file was opened earlier).
  void purge();

 private:
  FormatTable table_;
  std::string hardwareName_;
  bool enabled_ = false;
};

}  // namespace KMC
