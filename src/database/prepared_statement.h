// KSDSOLD::IPreparedStatement and IPreparedStatementEx: a compiled SQL statement with named
// arguments and typed column access, reference counted (kstl::IRefCounted).
//
// The table order is the ABI: after the four IRefCounted slots come Reset, ClearArgs, BindArg,
// GetArgCount, Step (IPreparedStatement), then GetColumnCount, GetColumnName, GetColumn
// (IPreparedStatementEx). The execution operations of KSDSOLD::Database use a statement only
// through IPreparedStatementEx, reached by a checked cast; a statement without it cannot be
// executed by them.
//
// Every operation answers false (0, null) without touching anything when the statement has no
// engine statement or connection. Failing engine calls are written to the log ("Cache").
#pragma once

#include "database/ref_counted.h"
#include "database/variant.h"

namespace KSDSOLD {

class IPreparedStatement : public kstl::IRefCounted {
 public:
  // Rewinds the statement so it can run again; false when the engine reports an error.
  virtual bool Reset() = 0;
  // Sets every parameter back to NULL; true on success.
  virtual bool ClearArgs() = 0;
  // Binds value to the parameter ":" + name. False for a null or empty name, for a name the
  // statement has no parameter for (not logged), and when the engine refuses the value
  // (logged). Text is copied by the engine; a DateTime binds as its ToString text; Null and
  // Blob bind as SQL NULL (this layer stores no blobs).
  virtual bool BindArg(const char* name, const Variant& value) = 0;
  // Number of parameters of the statement.
  virtual int GetArgCount() = 0;
  // Runs one step. resultCode receives the engine's answer (0 first, so it is never stale);
  // answers whether a result row is available. Nothing is logged: callers read the code. A
  // step that ends in an error also rewinds the statement, so the error is this run's only and
  // the next run starts clean; the connection keeps the error's message.
  virtual bool Step(int& resultCode) = 0;
};

class IPreparedStatementEx : public IPreparedStatement {
 public:
  // Number of result columns. The names are read from the engine once per statement object.
  virtual unsigned GetColumnCount() = 0;
  // Name of the column, or null when the index is not below GetColumnCount.
  virtual const char* GetColumnName(unsigned index) = 0;
  // Reads one cell of the current row: engine integers as Integer, floats as Real, text as
  // Text, blobs and NULL as Null. False when the index is out of range.
  virtual bool GetColumn(unsigned index, Variant& value) = 0;
};

}  // namespace KSDSOLD
