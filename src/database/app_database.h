// ksds::Database: the application's database file under the per-user application-data folder.
//
// It adds to a KSDSOLD::Database the file's place ("Kestra/Kestra Media Core/v3.1/" below the
// folder, created when missing), a schema script run once per successful open, and GetRecord,
// a SELECT * lookup by key fields whose statement is compiled once per table and key shape and
// kept in the connection's statement cache. Every other operation is the connection's.
// Not polymorphic; one thread at a time.
#pragma once

#include <string>

#include "database/database.h"

namespace ksds {

class Database {
 public:
  Database();
  // Closes the connection; the opened flag becomes the negation of Close's answer.
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Opens <application-data folder>/Kestra/Kestra Media Core/v3.1/<fileName>, creating the
  // folders, then runs schemaScript with ExecSQL and answers its result. The opened flag
  // takes the connection's Open answer, so it stays set when only the script fails. With the
  // flag already set it answers true and runs nothing. Without an application-data folder it
  // answers false having created, opened and logged nothing.
  bool Open(const std::string& fileName, const std::string& schemaScript);
  // Whether the last Open opened the connection.
  bool IsOpened() const { return opened_; }
  // The full path given to the connection (UTF-8), empty before Open.
  const std::string& GetPath() const { return path_; }

  // SELECT * FROM table WHERE key1 = :1 AND key2 = :2 ...; (keys in byte-wise order) into
  // columns: one entry per column of the table, one value per matching row. Empties columns
  // first. The statement is kept under "ksds::Database::GetRecord->table(,key1,key2)", so
  // lookups of the same shape compile it once. No or empty keys give a text the engine
  // refuses (false, logged by the connection).
  bool GetRecord(const std::string& table, const KSDSOLD::FieldMap* keys, KSDSOLD::ColumnMap& columns);

  // The contained connection, for every other operation.
  KSDSOLD::Database& Connection() { return database_; }
  const KSDSOLD::Database& Connection() const { return database_; }

  // Shorthands for the connection's operations the application uses most.
  bool ExecSQL(const std::string& sql) { return database_.ExecSQL(sql); }
  bool InsertRecord(const std::string& table, const KSDSOLD::FieldMap& fields, bool replace) {
    return database_.InsertRecord(table, fields, replace);
  }
  bool UpdateRecord(const std::string& table, const KSDSOLD::FieldMap& keys, const KSDSOLD::FieldMap& fields) {
    return database_.UpdateRecord(table, keys, fields);
  }
  bool DeleteRecord(const std::string& table, const KSDSOLD::FieldMap& keys) {
    return database_.DeleteRecord(table, keys);
  }

 private:
  KSDSOLD::Database database_;
  std::string path_;
  bool opened_;
};

}  // namespace ksds
