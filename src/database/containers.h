// The ordered containers in which arguments, records and results travel. Names order
// byte-wise (std::string's operator<), so walking a FieldMap gives the same order on every
// platform.
#pragma once

#include <list>
#include <map>
#include <string>
#include <utility>

#include "database/variant.h"

namespace KSDSOLD {

// Field or argument name -> value. Argument names carry no leading ':'.
typedef std::map<std::string, Variant> FieldMap;
// Column name -> one value per result row, in row order.
typedef std::map<std::string, std::list<Variant> > ColumnMap;
// One result row: (column name, value) pairs in column order.
typedef std::list<std::pair<std::string, Variant> > Row;
// Result rows in result order.
typedef std::list<Row> RowList;
// Column names in column order.
typedef std::list<std::string> ColumnNameList;

}  // namespace KSDSOLD
