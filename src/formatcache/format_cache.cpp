#include "formatcache/format_cache.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

#include "database/date_time.h"
#include "formatcache/cache_schema.h"

namespace KMC {

using KSDSOLD::ColumnMap;
using KSDSOLD::DateTime;
using KSDSOLD::FieldMap;

namespace {

const char* const kHardwareTable = "hardware";
const char* const kFormatTable = "format";
const int32_t kVideoMediaType = 1;

std::string nowAsText() { return DateTime::Now().ToString(); }

// A descriptor whose code is the first length bytes of text (at most 5), the rest zero.
FormatDescriptor describe(const std::string& text, size_t length, int32_t kind, int32_t cost) {
  FormatDescriptor descriptor;
  std::memset(&descriptor, 0, sizeof descriptor);
  std::memcpy(descriptor.fourCC, text.c_str(), std::min<size_t>(length, 5));
  descriptor.size = static_cast<int32_t>(sizeof(FormatDescriptor));
  descriptor.kind = kind;
  descriptor.cost = cost;
  return descriptor;
}

size_t rowCount(const ColumnMap& columns) { return columns.empty() ? 0 : columns.begin()->second.size(); }

}  // namespace

FormatCache::FormatCache() {}
FormatCache::~FormatCache() {}

bool FormatCache::openFormatCache() {
  if (database_.IsOpened()) return true;
  return database_.Open(kFormatCacheFileName, kFormatCacheSchema);
}

void FormatCache::registerFormat(int32_t cost, int64_t typeId, const char* fourCC) {
  if (!fourCC) return;
  table_[fourCC] = FormatEntry{cost, typeId};
  if (enabled_) storeFormat(cost, typeId, fourCC);
}

void FormatCache::storeFormat(int32_t cost, int64_t typeId, const char* fourCC) {
  if (!openFormatCache()) return;  // a file that cannot be opened stores nothing
  // Other processes of the user share the file. Looking the machine up and inserting it runs
  // in one write transaction, so two first registrations at the same moment cannot both
  // insert the machine (two rows of one name would make it unknown until the next purge).
  bool inTransaction = database_.ExecSQL("BEGIN IMMEDIATE;");
  storeFormatRows(cost, typeId, fourCC);
  // The format row's trigger may have rolled the transaction back already.
  sqlite3* handle = database_.Connection().RawHandle();
  if (inTransaction && handle && !sqlite3_get_autocommit(handle)) (void)database_.ExecSQL("COMMIT;");
}

void FormatCache::storeFormatRows(int32_t cost, int64_t typeId, const char* fourCC) {
  FieldMap key;
  key["name"].Set(hardwareName_);
  FieldMap machine;
  bool known = GetHardwareRecord(key, machine);
  if (!known) {
    FieldMap row;
    row["name"].Set(hardwareName_);
    row["last_used_timestamp"].Set(nowAsText());
    if (!database_.InsertRecord(kHardwareTable, row, false)) return;
  }
  if (!GetHardwareRecord(key, machine)) return;
  FieldMap format;
  format["hardware_id"].Set(machine["hardware_id"].GetInt64());
  format["four_cc"].Set(fourCC);
  format["cost"].Set(static_cast<int64_t>(cost));
  format["type_id"].Set(typeId);
  format["media_type"].Set(static_cast<int64_t>(kVideoMediaType));
  (void)database_.InsertRecord(kFormatTable, format, true);  // failures are the database's to log
}

bool FormatCache::GetHardwareRecord(const FieldMap& key, FieldMap& record) {
  record.clear();
  ColumnMap columns;
  if (!database_.GetRecord(kHardwareTable, &key, columns)) return false;
  if (rowCount(columns) != 1) return false;
  return RowToFieldMap(columns, 0, record);
}

bool FormatCache::GetFormatRecords(const FieldMap& key, std::vector<FieldMap>& records) {
  records.clear();
  ColumnMap columns;
  if (!database_.GetRecord(kFormatTable, &key, columns)) return false;
  records.resize(rowCount(columns));
  for (size_t i = 0; i < records.size(); ++i) {
    if (!RowToFieldMap(columns, i, records[i])) return false;
  }
  return true;
}

bool FormatCache::RowToFieldMap(const ColumnMap& columns, size_t row, FieldMap& record) {
  record.clear();
  if (columns.empty()) return false;
  for (const auto& column : columns) {
    if (column.second.size() <= row) return false;
    record[column.first] = *std::next(column.second.begin(), static_cast<std::ptrdiff_t>(row));
  }
  return true;
}

bool FormatCache::answerQuery(int32_t kind, FormatList* out, const std::function<void()>& registerPending) {
  if (!out) return false;
  if (!enabled_) {
    if (registerPending) registerPending();
    return answerFromTable(kind, out);
  }
  return answerFromFile(kind, out, registerPending);
}

bool FormatCache::answerFromTable(int32_t kind, FormatList* out) const {
  for (const auto& entry : table_) {
    if (!out->append(describe(entry.first, entry.first.size() + 1, kind, entry.second.cost))) return false;
  }
  return true;
}

bool FormatCache::answerFromFile(int32_t kind, FormatList* out, const std::function<void()>& registerPending) {
  (void)openFormatCache();
  FieldMap key;
  key["name"].Set(hardwareName_);
  FieldMap machine;
  if (!GetHardwareRecord(key, machine)) {
    if (registerPending) registerPending();
    // Formats registered earlier while the cache was off are in the table only: the file
    // learns them now, or this output could never answer from the cache.
    if (!GetHardwareRecord(key, machine)) {
      for (const auto& entry : table_) storeFormat(entry.second.cost, entry.second.typeId, entry.first.c_str());
    }
  }
  if (!GetHardwareRecord(key, machine)) return false;
  int64_t hardwareId = machine["hardware_id"].GetInt64();

  FieldMap formatKey;
  formatKey["hardware_id"].Set(hardwareId);
  formatKey["media_type"].Set(kVideoMediaType);
  std::vector<FieldMap> formats;
  if (!GetFormatRecords(formatKey, formats)) return false;
  // The engine's vector refusing an entry (malformed, or out of memory) makes the answer false;
  // the entries appended before it stay, as an engine's own appends would.
  for (FieldMap& format : formats) {
    const std::string& code = format["four_cc"].GetText();
    if (!out->append(describe(code, code.size(), kind, format["cost"].GetInt()))) return false;
  }

  FieldMap machineKey;
  machineKey["hardware_id"].Set(hardwareId);
  FieldMap refresh;
  refresh["last_used_timestamp"].Set(nowAsText());
  (void)database_.UpdateRecord(kHardwareTable, machineKey, refresh);  // a stale time only risks a purge
  return true;
}

void FormatCache::purge() {
  if (!enabled_) {
    FieldMap key;
    key["name"].Set(hardwareName_);
    (void)database_.DeleteRecord(kHardwareTable, key);  // fails quietly on a never-opened file
    return;
  }
  (void)openFormatCache();
  // One calendar month back; day and time stay (31 March gives "02-31", which still orders
  // correctly as text).
  DateTime cutoff = DateTime::Now();
  if (cutoff.GetMonth() < 2) {
    cutoff.SetMonth(12);
    cutoff.SetYear(cutoff.GetYear() - 1);
  } else {
    cutoff.SetMonth(cutoff.GetMonth() - 1);
  }
  char* quoted = sqlite3_mprintf("%Q", cutoff.ToString().c_str());
  if (!quoted) return;
  std::string sql = std::string("DELETE FROM hardware WHERE last_used_timestamp < ") + quoted;
  sqlite3_free(quoted);
  (void)database_.ExecSQL(sql);
}

}  // namespace KMC
