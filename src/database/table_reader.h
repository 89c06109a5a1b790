// ksds::TableReader: GetRecord bound to one table, so code that reads a fixed table writes
// only the keys: TableReader hardware(db, "hardware"); hardware.GetRecord(&keys, columns).
#pragma once

#include <string>

#include "database/app_database.h"

namespace ksds {

class TableReader {
 public:
  // database must outlive the reader.
  TableReader(Database& database, const std::string& table) : database_(database), table_(table) {}

  // Database::GetRecord on this reader's table.
  bool GetRecord(const KSDSOLD::FieldMap* keys, KSDSOLD::ColumnMap& columns) {
    return database_.GetRecord(table_, keys, columns);
  }
  const std::string& GetTable() const { return table_; }

 private:
  Database& database_;
  std::string table_;
};

}  // namespace ksds
