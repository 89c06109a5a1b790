#include "database/prepared_statement_impl.h"

#include <sqlite3.h>

#include "database/sqlite_error_record.h"

namespace KSDSOLD {

PreparedStatementImpl::PreparedStatementImpl(sqlite3_stmt* statement, sqlite3* connection)
    : refCount_(0), statement_(statement), connection_(connection) {}

PreparedStatementImpl::~PreparedStatementImpl() {
  if (statement_) sqlite3_finalize(statement_);  // the answer repeats the last step's error
  statement_ = nullptr;
}

int32_t PreparedStatementImpl::AddRef() { return ++refCount_; }

int32_t PreparedStatementImpl::Release() {
  if (--refCount_ <= 0) {
    delete this;
    return 0;
  }
  return refCount_;
}

int32_t PreparedStatementImpl::GetRefCount() const { return refCount_; }

bool PreparedStatementImpl::Reset() {
  if (!IsUsable()) return false;
  int result = sqlite3_reset(statement_);
  if (result == SQLITE_OK) return true;
  logSqliteError("KSDSOLD::PreparedStatementImpl::Reset", 238, result, connection_);
  return false;
}

bool PreparedStatementImpl::ClearArgs() {
  if (!IsUsable()) return false;
  int result = sqlite3_clear_bindings(statement_);
  if (result == SQLITE_OK) return true;
  logSqliteError("KSDSOLD::PreparedStatementImpl::ClearArgs", 251, result, connection_);
  return false;
}

bool PreparedStatementImpl::BindArg(const char* name, const Variant& value) {
  if (!IsUsable() || !name || !*name) return false;
  const std::string parameter = std::string(":") + name;
  int index = sqlite3_bind_parameter_index(statement_, parameter.c_str());
  if (index == 0) return false;  // no such parameter: the caller's mistake, not the engine's

  int result = SQLITE_OK;
  switch (value.GetType()) {
    case VariantType::Real:
      result = sqlite3_bind_double(statement_, index, value.GetReal());
      if (result == SQLITE_OK) return true;
      logSqliteError("KSDSOLD::PreparedStatementImpl::BindArg", 284, result, connection_);
      return false;
    case VariantType::Integer:
      result = sqlite3_bind_int64(statement_, index, value.GetInt64());
      if (result == SQLITE_OK) return true;
      logSqliteError("KSDSOLD::PreparedStatementImpl::BindArg", 287, result, connection_);
      return false;
    case VariantType::Text:
      result = sqlite3_bind_text(statement_, index, value.GetText().c_str(), -1, SQLITE_TRANSIENT);
      if (result == SQLITE_OK) return true;
      logSqliteError("KSDSOLD::PreparedStatementImpl::BindArg", 290, result, connection_);
      return false;
    case VariantType::DateTime: {
      const std::string text = value.GetDateTime().ToString();
      result = sqlite3_bind_text(statement_, index, text.c_str(), -1, SQLITE_TRANSIENT);
      if (result == SQLITE_OK) return true;
      logSqliteError("KSDSOLD::PreparedStatementImpl::BindArg", 293, result, connection_);
      return false;
    }
    case VariantType::Null:
    case VariantType::Blob:
      break;
  }
  result = sqlite3_bind_null(statement_, index);
  if (result == SQLITE_OK) return true;
  logSqliteError("KSDSOLD::PreparedStatementImpl::BindArg", 296, result, connection_);
  return false;
}

int PreparedStatementImpl::GetArgCount() {
  if (!IsUsable()) return 0;
  return sqlite3_bind_parameter_count(statement_);
}

bool PreparedStatementImpl::Step(int& resultCode) {
  resultCode = 0;
  if (!IsUsable()) return false;
  resultCode = sqlite3_step(statement_);
  if (resultCode != SQLITE_ROW && resultCode != SQLITE_DONE) {
    // Rewound at once, so that the error belongs to this run only: the engine answers the
    // reset with the same error (not examined), and the next run's reset then succeeds. The
    // connection keeps the error's message for the caller.
    sqlite3_reset(statement_);
  }
  return resultCode == SQLITE_ROW;
}

unsigned PreparedStatementImpl::GetColumnCount() {
  if (!IsUsable()) return 0;
  if (columnNames_.empty()) {
    int count = sqlite3_column_count(statement_);
    for (int i = 0; i < count; ++i) {
      const char* name = sqlite3_column_name(statement_, i);
      columnNames_.push_back(name ? name : "");
    }
  }
  return static_cast<unsigned>(columnNames_.size());
}

const char* PreparedStatementImpl::GetColumnName(unsigned index) {
  if (index >= GetColumnCount()) return nullptr;
  return columnNames_[index].c_str();
}

bool PreparedStatementImpl::GetColumn(unsigned index, Variant& value) {
  if (index >= GetColumnCount()) return false;
  const int column = static_cast<int>(index);
  switch (sqlite3_column_type(statement_, column)) {
    case SQLITE_INTEGER:
      value.Set(static_cast<int64_t>(sqlite3_column_int64(statement_, column)));
      break;
    case SQLITE_FLOAT:
      value.Set(sqlite3_column_double(statement_, column));
      break;
    case SQLITE_TEXT: {
      const unsigned char* text = sqlite3_column_text(statement_, column);
      value.Set(reinterpret_cast<const char*>(text));
      break;
    }
    default:  // blobs are not read by this layer; NULL
      value.Clear();
      break;
  }
  return true;
}

}  // namespace KSDSOLD
