// The hardware format cache of one output: the in-memory format table and, when the engine's
// setting turns it on, the per-user database file "Hardware Cache" that records which pixel
// formats this machine's renderer accepts and at what cost. One row of the table hardware per
// machine-and-renderer name (hardwareName), its formats in the table format; machines unused
// for a calendar month are purged when an output is destroyed.
//
// Used from the engine threads that call create, destroy and the format query, one at a time;
// takes no locks. No failure reaches the engine: engine errors are logged by the database
// layer, and operations answer false or do nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "database/app_database.h"
#include "database/containers.h"
#include "formatcache/format_table.h"
#include "abi/format_descriptor.h"

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

  // Opens the file and runs the schema script, once per output: answers true when open.
  bool openFormatCache();

  // Enters the format in the table and, when the cache is on, in the file: the machine row is
  // created when missing (a new row only, last-used time now) and the format row is written
  // with replace, so a registered format overwrites its stored cost and type id.
  void registerFormat(int32_t cost, int64_t typeId, const char* fourCC);
  const FormatTable& table() const { return table_; }

  // The answer of a format query with the given kind, appended to out. Off: every table entry
  // in table order. On: the machine's format rows of media type 1 from the file, after which
  // the machine's last-used time is refreshed; registerPending runs when the machine is not
  // in the file yet (it registers the renderer's formats if they are still pending). False
  // when the file cannot answer; out is then unchanged.
  bool answerQuery(int32_t kind, FormatList* out, const std::function<void()>& registerPending);

  // Housekeeping at destroy. On: deletes machines whose last use is more than a calendar
  // month old (with their formats). Off: deletes this machine's row, which only takes effect
  // when the file was opened earlier in this output's life.
  void purge();

  // Record lookups over the file.
  bool GetHardwareRecord(const KSDSOLD::FieldMap& key, KSDSOLD::FieldMap& record);
  bool GetFormatRecords(const KSDSOLD::FieldMap& key, std::vector<KSDSOLD::FieldMap>& records);
  static bool RowToFieldMap(const KSDSOLD::ColumnMap& columns, size_t row, KSDSOLD::FieldMap& record);

  ksds::Database& database() { return database_; }

 private:
  bool answerFromTable(int32_t kind, FormatList* out) const;
  bool answerFromFile(int32_t kind, FormatList* out, const std::function<void()>& registerPending);
  void storeFormat(int32_t cost, int64_t typeId, const char* fourCC);
  void storeFormatRows(int32_t cost, int64_t typeId, const char* fourCC);

  FormatTable table_;
  std::string hardwareName_;
  bool enabled_ = false;
  ksds::Database database_;  // opened lazily; closed when the output goes
};

}  // namespace KMC
