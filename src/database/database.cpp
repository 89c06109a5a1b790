#include "database/database.h"

#include <sqlite3.h>

#include <map>

#include "database/prepared_statement_impl.h"
#include "database/ref_counted_ptr.h"
#include "database/sqlite_error_record.h"
#include "platform/win32.h"

namespace KSDSOLD {

namespace {
const DWORD kFirstOpenWait = 20;         // ms; doubles after every busy answer
const DWORD kMostOpenWaiting = 60000;    // ms of sleeping after which the open gives up
const int kStatementBusyTimeout = 60000;  // ms every statement waits for another's lock
}  // namespace

struct Database::State {
  std::map<std::string, kstl::RefCountedPtr_STLSafe<IPreparedStatement> > statements;
  sqlite3* handle = nullptr;  // null when closed
};

Database::Database() : state_(new State) {}

Database::~Database() { Close(); }

bool Database::IsOpen() const { return state_->handle != nullptr; }

sqlite3* Database::RawHandle() const { return state_->handle; }

bool Database::Open(const std::string& path) {
  if (state_->handle || path.empty()) return false;

  DWORD wait = kFirstOpenWait;
  DWORD waited = 0;
  int result = sqlite3_open(path.c_str(), &state_->handle);
  // Every sleep is followed by one more attempt; the attempt after the sleep that takes the
  // total above 60 s is the last (20 ms ... 40960 ms: twelve sleeps, thirteen attempts).
  while (result == SQLITE_BUSY && waited <= kMostOpenWaiting) {
    Sleep(wait);
    waited += wait;
    wait *= 2;
    // A busy answer still leaves a connection object behind; close it before the next
    // attempt so that the retries do not lose one connection each.
    sqlite3_close(state_->handle);
    state_->handle = nullptr;
    result = sqlite3_open(path.c_str(), &state_->handle);
  }

  if (result == SQLITE_OK) {
    if (!state_->handle) return false;
    int timeoutResult = sqlite3_busy_timeout(state_->handle, kStatementBusyTimeout);
    if (timeoutResult == SQLITE_OK) return true;
    logSqliteError("KSDSOLD::Database::Open", 445, timeoutResult, state_->handle);
    return false;
  }
  // The failed handle stays until Close, so this object refuses further opens until then.
  logSqliteError("KSDSOLD::Database::Open", 441, result, state_->handle);
  return false;
}

bool Database::Close() {
  // Cached statements go first so that they never keep the connection from closing.
  state_->statements.clear();
  sqlite3* handle = state_->handle;
  state_->handle = nullptr;
  if (!handle) return true;
  int result = sqlite3_close(handle);
  if (result == SQLITE_OK) return true;
  logSqliteError("KSDSOLD::Database::Close", 504, result, handle);
  // A statement prepared here is still referenced elsewhere. This object forgets the handle
  // either way; let the engine close it when the last such statement is finalized instead of
  // losing the connection (and its file) for the life of the process.
  sqlite3_close_v2(handle);
  return false;
}

bool Database::ExecSQL(const std::string& sql) {
  // Also called on a closed connection: the engine answers misuse, which is logged below.
  int result = sqlite3_exec(state_->handle, sql.c_str(), nullptr, nullptr, nullptr);
  if (result == SQLITE_OK) return true;
  logSqliteError("KSDSOLD::Database::ExecSQL", 826, result, state_->handle);
  return false;
}

bool Database::PrepareStatement(const std::string& sql, IPreparedStatement** statement) {
  if (!statement) return false;
  *statement = nullptr;
  if (!state_->handle || sql.empty()) return false;
  sqlite3_stmt* compiled = nullptr;
  int result = sqlite3_prepare_v2(state_->handle, sql.c_str(), -1, &compiled, nullptr);
  if (result != SQLITE_OK) {
    logSqliteError("KSDSOLD::Database::PrepareStatement", 884, result, state_->handle);
    return false;
  }
  if (!compiled) return false;  // only white space or comments
  kstl::RefCountedPtr<IPreparedStatement> made(new PreparedStatementImpl(compiled, state_->handle));
  made.CopyTo(statement);
  return true;  // made drops the first reference; the caller holds the only one
}

bool Database::PrepareStatement(const std::string& name, const std::string& sql, bool replace) {
  if (!state_->handle || name.empty()) return false;
  if (!replace && state_->statements.count(name) != 0) return true;
  if (sql.empty()) return false;
  sqlite3_stmt* compiled = nullptr;
  int result = sqlite3_prepare_v2(state_->handle, sql.c_str(), -1, &compiled, nullptr);
  if (result != SQLITE_OK) {
    logSqliteError("KSDSOLD::Database::PrepareStatement", 922, result, state_->handle);
    return false;
  }
  if (!compiled) return false;
  state_->statements[name] = new PreparedStatementImpl(compiled, state_->handle);
  return true;
}

namespace {

// Empty arguments stand for "no arguments"; the count must match the statement's parameters.
bool BindArguments(IPreparedStatementEx& statement, const FieldMap* arguments) {
  static const FieldMap kNoArguments;
  const FieldMap& given = arguments ? *arguments : kNoArguments;
  if (static_cast<int>(given.size()) != statement.GetArgCount()) return false;
  if (!statement.Reset() || !statement.ClearArgs()) return false;
  for (FieldMap::const_iterator it = given.begin(); it != given.end(); ++it) {
    if (!statement.BindArg(it->first.c_str(), it->second)) return false;
  }
  return true;
}

// Appends the current row to columns; the column lists are made at the first row.
bool CollectColumns(IPreparedStatementEx& statement, ColumnMap& columns) {
  const unsigned count = statement.GetColumnCount();
  if (columns.empty()) {
    for (unsigned i = 0; i < count; ++i) columns[statement.GetColumnName(i)];
  }
  for (unsigned i = 0; i < count; ++i) {
    Variant cell;
    if (!statement.GetColumn(i, cell)) return false;
    ColumnMap::iterator column = columns.find(statement.GetColumnName(i));
    if (column == columns.end()) return false;
    column->second.push_back(cell);
  }
  return true;
}

// Appends the current row to rows; with names, the pairs carry empty names and names gets
// the column names while it holds fewer than there are columns.
bool CollectRow(IPreparedStatementEx& statement, RowList& rows, ColumnNameList* names) {
  const unsigned count = statement.GetColumnCount();
  rows.push_back(Row());
  Row& row = rows.back();
  for (unsigned i = 0; i < count; ++i) {
    Variant cell;
    if (!statement.GetColumn(i, cell)) return false;
    if (names) {
      if (names->size() < count) names->push_back(statement.GetColumnName(i));
      row.push_back(Row::value_type(std::string(), cell));
    } else {
      row.push_back(Row::value_type(statement.GetColumnName(i), cell));
    }
  }
  return true;
}

// Binds the arguments and steps the statement to its end, handing every row to collect, which
// answers false to stop with a failure. True when the statement ran to SQLITE_DONE.
template <typename Collect>
bool RunToEnd(IPreparedStatement* statement, const FieldMap* arguments, Collect collect) {
  kstl::RefCountedQIPtr<IPreparedStatementEx> ex(statement);
  if (!ex) return false;
  if (!BindArguments(*ex, arguments)) return false;
  int result = 0;
  while (ex->Step(result)) {
    if (!collect(*ex)) return false;
  }
  return result == SQLITE_DONE;
}

}  // namespace

bool Database::Execute(IPreparedStatement* statement, const FieldMap* arguments, ColumnMap* columns) {
  if (columns) columns->clear();
  return state_->handle && RunToEnd(statement, arguments, [&](IPreparedStatementEx& ex) {
           return !columns || CollectColumns(ex, *columns);
         });
}

bool Database::Execute(IPreparedStatement* statement, const FieldMap* arguments, RowList* rows,
                       ColumnNameList* names) {
  if (rows) rows->clear();
  if (names) names->clear();
  return state_->handle && RunToEnd(statement, arguments, [&](IPreparedStatementEx& ex) {
           return !rows || CollectRow(ex, *rows, names);
         });
}

bool Database::ExecuteNamed(const std::string& name, const FieldMap* arguments, ColumnMap* columns) {
  if (columns) columns->clear();
  if (!state_->handle) return false;
  std::map<std::string, kstl::RefCountedPtr_STLSafe<IPreparedStatement> >::iterator found =
      state_->statements.find(name);
  if (found == state_->statements.end()) return false;
  return Execute(found->second.Get(), arguments, columns);
}

}  // namespace KSDSOLD
