// The single-table record builders of KSDSOLD::Database. Values never enter the SQL text:
// the n-th value is written as ":n" and stored in the argument map under "n", in the
// byte-wise order of the field names. Table and field names go into the text as they are;
// callers pass only the fixed names of their schema.
#include <string>

#include "database/database.h"

namespace KSDSOLD {

namespace {

// Appends ":n" to sql and stores a copy of value under "n", then counts on.
void AddParameter(std::string& sql, FieldMap& arguments, int& number, const Variant& value) {
  const std::string key = std::to_string(number++);
  sql += ":";
  sql += key;
  arguments[key] = value;
}

// "name = :n" for every field, joined by separator and closed by last.
void AddComparisons(std::string& sql, FieldMap& arguments, int& number, const FieldMap& fields,
                    const char* separator, const char* last) {
  for (FieldMap::const_iterator it = fields.begin(); it != fields.end();) {
    sql += it->first;
    sql += " = ";
    AddParameter(sql, arguments, number, it->second);
    ++it;
    sql += it == fields.end() ? last : separator;
  }
}

}  // namespace

bool Database::RunBuilt(const std::string& sql, const FieldMap& arguments) {
  IPreparedStatement* statement = nullptr;
  if (!PrepareStatement(sql, &statement)) return false;
  bool done = Execute(statement, &arguments, static_cast<RowList*>(nullptr), nullptr);
  statement->Release();
  return done;
}

bool Database::InsertRecord(const std::string& table, const FieldMap& fields, bool replace) {
  if (table.empty()) return false;
  std::string sql = replace ? "REPLACE INTO " : "INSERT INTO ";
  sql += table;
  sql += " ( ";
  for (FieldMap::const_iterator it = fields.begin(); it != fields.end();) {
    sql += it->first;
    ++it;
    sql += it == fields.end() ? " ) " : ", ";
  }
  sql += "VALUES ( ";
  FieldMap arguments;
  int number = 1;
  for (FieldMap::const_iterator it = fields.begin(); it != fields.end();) {
    AddParameter(sql, arguments, number, it->second);
    ++it;
    sql += it == fields.end() ? " );" : ", ";
  }
  return RunBuilt(sql, arguments);
}

bool Database::UpdateRecord(const std::string& table, const FieldMap& keys, const FieldMap& fields) {
  if (table.empty() || keys.empty()) return false;
  if (fields.empty()) return true;  // nothing to set
  std::string sql = "UPDATE " + table + " SET ";
  FieldMap arguments;
  int number = 1;
  AddComparisons(sql, arguments, number, fields, ", ", " ");
  sql += " WHERE ";
  AddComparisons(sql, arguments, number, keys, " AND ", ";");
  return RunBuilt(sql, arguments);
}

bool Database::DeleteRecord(const std::string& table, const FieldMap& keys) {
  if (table.empty() || keys.empty()) return false;
  std::string sql = "DELETE FROM " + table + " WHERE ";
  FieldMap arguments;
  int number = 1;
  AddComparisons(sql, arguments, number, keys, " AND ", ";");
  return RunBuilt(sql, arguments);
}

}  // namespace KSDSOLD
