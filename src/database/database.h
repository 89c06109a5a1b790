// KSDSOLD::Database: one connection to a database file of the embedded SQL engine.
//
// Over a bare engine handle it adds: an open that rides out a file locked by another
// connection (doubling sleeps from 20 ms, at most 13 attempts), a 60 s busy timeout for every
// later statement, a cache of named prepared statements that lives until Close, execution that
// binds a FieldMap of arguments by name and collects every result row, and the record builders
// (InsertRecord, UpdateRecord, DeleteRecord) that compose single-table SQL with numbered named
// parameters. Failures are answers (false); engine failures are also logged (category
// "Cache", "SQLITE ERROR: %d\n%s"). No locks: one thread at a time uses a connection and its
// statements.
#pragma once

#include <memory>
#include <string>

#include "database/containers.h"
#include "database/prepared_statement.h"

struct sqlite3;

namespace KSDSOLD {

class Database {
 public:
  // A closed connection with an empty statement cache.
  Database();
  // Runs Close.
  virtual ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Opens (creating when missing) the file at path, a UTF-8 string. False when this object
  // already holds a handle (also the one kept after a failed open, until Close), for an empty
  // path, and when the engine refuses (logged). While the engine answers busy it sleeps 20,
  // 40, 80 ... ms between attempts and gives up once the sleeps pass 60 s in total.
  bool Open(const std::string& path);
  // Empties the statement cache, then closes the engine handle. The connection is closed
  // afterwards whatever the answer; false (logged) when the engine refuses, as it does while
  // a statement prepared here is still referenced elsewhere — the engine then finishes the
  // close when that statement is released.
  bool Close();
  // Whether an engine handle is held (also after a failed Open, until Close).
  bool IsOpen() const;

  // Runs sql, which may hold several statements separated by ';', discarding results.
  bool ExecSQL(const std::string& sql);

  // Compiles sql. On success *statement holds one reference, which the caller releases.
  // *statement is null after any failure; a text without any statement fails without a log.
  bool PrepareStatement(const std::string& sql, IPreparedStatement** statement);
  // Compiles sql and keeps it in the statement cache under name until Close. Without replace,
  // a name already cached answers true without compiling anything; with it, the new statement
  // replaces (and releases) the cached one.
  bool PrepareStatement(const std::string& name, const std::string& sql, bool replace);

  // Runs statement with the given arguments (keys are parameter names without ':'; their
  // number must equal the statement's parameter count) and, when columns is given, collects
  // every result row into it (column name -> values in row order; left empty when no row
  // matches). Answers whether the run ended with SQLITE_DONE: an error while stepping answers
  // false with the rows read so far. Needs IPreparedStatementEx.
  bool Execute(IPreparedStatement* statement, const FieldMap* arguments = nullptr, ColumnMap* columns = nullptr);
  // The same, collecting rows as (name, value) lists. With names, the row pairs carry empty
  // names and names receives the column names once; without rows nothing is read.
  bool Execute(IPreparedStatement* statement, const FieldMap* arguments, RowList* rows,
               ColumnNameList* names = nullptr);
  // Execute (column form) on the statement cached under name; false when it is not cached.
  bool ExecuteNamed(const std::string& name, const FieldMap* arguments = nullptr, ColumnMap* columns = nullptr);

  // INSERT INTO (or with replace REPLACE INTO) table one row of fields, in byte-wise field
  // order, values bound as :1, :2 ... False for an empty table name or a failing statement.
  bool InsertRecord(const std::string& table, const FieldMap& fields, bool replace);
  // UPDATE table SET fields WHERE every key field equals its value. False for an empty table
  // or key map; true without touching the database when fields is empty.
  bool UpdateRecord(const std::string& table, const FieldMap& keys, const FieldMap& fields);
  // DELETE FROM table WHERE every key field equals its value. False for an empty table or key
  // map.
  bool DeleteRecord(const std::string& table, const FieldMap& keys);

  // The engine handle (null when closed), for tests and diagnostics.
  sqlite3* RawHandle() const;

 private:
  bool RunBuilt(const std::string& sql, const FieldMap& arguments);

  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace KSDSOLD
