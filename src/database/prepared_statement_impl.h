// KSDSOLD::PreparedStatementImpl: the one implementation of IPreparedStatementEx, over one
// engine statement.
//
// It is made with the count 0; the code that makes it takes the first reference, and the
// statement deletes itself (finalizing the engine statement) when Release brings the count to
// 0. The engine connection it was prepared on is used for error messages and is not owned;
// the statement must be released before the connection closes, or the close fails.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database/prepared_statement.h"

struct sqlite3;
struct sqlite3_stmt;

namespace KSDSOLD {

class PreparedStatementImpl : public IPreparedStatementEx {
 public:
  // Takes ownership of statement; connection is borrowed.
  PreparedStatementImpl(sqlite3_stmt* statement, sqlite3* connection);
  ~PreparedStatementImpl() override;
  PreparedStatementImpl(const PreparedStatementImpl&) = delete;
  PreparedStatementImpl& operator=(const PreparedStatementImpl&) = delete;

  int32_t AddRef() override;
  int32_t Release() override;
  int32_t GetRefCount() const override;

  bool Reset() override;
  bool ClearArgs() override;
  bool BindArg(const char* name, const Variant& value) override;
  int GetArgCount() override;
  bool Step(int& resultCode) override;

  unsigned GetColumnCount() override;
  const char* GetColumnName(unsigned index) override;
  bool GetColumn(unsigned index, Variant& value) override;

  // The engine statement, for tests and diagnostics.
  sqlite3_stmt* RawStatement() const { return statement_; }

 private:
  bool IsUsable() const { return statement_ != nullptr && connection_ != nullptr; }

  int32_t refCount_;                      // plain count, one thread at a time
  std::vector<std::string> columnNames_;  // filled by the first GetColumnCount
  sqlite3_stmt* statement_;               // owned, finalized by the destructor
  sqlite3* connection_;                   // borrowed
};

}  // namespace KSDSOLD
