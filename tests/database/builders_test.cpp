#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "database/database.h"
#include "database_test_support.h"

using KSDSOLD::ColumnMap;
using KSDSOLD::FieldMap;

namespace {

// The statements the engine runs on a connection: (statement, its SQL text), in run order.
typedef std::vector<std::pair<sqlite3_stmt*, std::string> > Trace;

int traceStatement(unsigned, void* context, void* statement, void* text) {
  const char* sql = static_cast<const char*>(text);
  if (sql && sql[0] == '-' && sql[1] == '-') return 0;  // trigger programs
  static_cast<Trace*>(context)->push_back(
      std::make_pair(static_cast<sqlite3_stmt*>(statement), std::string(sqlite3_sql(static_cast<sqlite3_stmt*>(statement)))));
  return 0;
}

const char* const kSchema =
    "CREATE TABLE hardware (hardware_id INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL, name TEXT NOT NULL,"
    " last_used_timestamp TEXT NOT NULL);"
    "CREATE TABLE format (hardware_id INTEGER NOT NULL, media_type INTEGER NOT NULL, four_cc TEXT, id INTEGER,"
    " cost INTEGER NOT NULL DEFAULT 1000, type_id INTEGER NOT NULL, UNIQUE( hardware_id, media_type, four_cc ));";

class BuildersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db.Open(":memory:"));
    ASSERT_TRUE(db.ExecSQL(kSchema));
    sqlite3_trace_v2(db.RawHandle(), SQLITE_TRACE_STMT, traceStatement, &trace);
  }
  void TearDown() override { EXPECT_TRUE(log.lines().empty()) << log.lines()[0]; }

  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (const auto& entry : trace) out.push_back(entry.second);
    return out;
  }

  FieldMap hardwareRow(const char* name, const char* stamp) {
    FieldMap row;
    row["name"].Set(name);
    row["last_used_timestamp"].Set(stamp);
    return row;
  }

  dbtest::LogCapture log;
  KSDSOLD::Database db;
  Trace trace;
};

TEST_F(BuildersTest, InsertWritesFieldsInByteOrderWithNumberedParameters) {
  ASSERT_TRUE(db.InsertRecord("hardware", hardwareRow("GDI box", "2009-03-05 07:08:09"), false));
  FieldMap format;
  format["type_id"].Set(static_cast<int64_t>(0));
  format["cost"].Set(static_cast<int64_t>(200));
  format["four_cc"].Set("BGRA");
  format["hardware_id"].Set(static_cast<int64_t>(1));
  format["media_type"].Set(static_cast<int32_t>(1));
  ASSERT_TRUE(db.InsertRecord("format", format, true));
  format["cost"].Set(static_cast<int64_t>(150));
  ASSERT_TRUE(db.InsertRecord("format", format, true));  // replaces the row

  EXPECT_EQ((std::vector<std::string>{
                "INSERT INTO hardware ( last_used_timestamp, name ) VALUES ( :1, :2 );",
                "REPLACE INTO format ( cost, four_cc, hardware_id, media_type, type_id ) VALUES ( :1, :2, :3, :4, :5 );",
                "REPLACE INTO format ( cost, four_cc, hardware_id, media_type, type_id ) VALUES ( :1, :2, :3, :4, :5 );"}),
            texts());
  sqlite3* raw = db.RawHandle();
  EXPECT_EQ(1, dbtest::rawInt(raw, "SELECT count(*) FROM hardware WHERE name = 'GDI box' AND "
                                   "last_used_timestamp = '2009-03-05 07:08:09';"));
  EXPECT_EQ(1, dbtest::rawInt(raw, "SELECT count(*) FROM format;"));
  EXPECT_EQ(150, dbtest::rawInt(raw, "SELECT cost FROM format WHERE four_cc = 'BGRA';"));
  // The caller's map is left as it was.
  EXPECT_EQ(5u, format.size());

  // A plain INSERT that breaks a UNIQUE constraint answers false; an empty table name never runs.
  trace.clear();
  EXPECT_FALSE(db.InsertRecord("format", format, false));
  EXPECT_FALSE(db.InsertRecord("", format, false));
  EXPECT_EQ(1u, trace.size()) << ::testing::PrintToString(texts());
}

TEST_F(BuildersTest, TenAndMoreParametersAreBoundByName) {
  std::string create = "CREATE TABLE wide (";
  FieldMap row;
  for (int i = 1; i <= 12; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "f%02d", i);
    create += std::string(i > 1 ? ", " : "") + name;
    row[name].Set(static_cast<int64_t>(i * 100));
  }
  ASSERT_TRUE(db.ExecSQL(create + ");"));
  ASSERT_TRUE(db.InsertRecord("wide", row, false));
  EXPECT_EQ("INSERT INTO wide ( f01, f02, f03, f04, f05, f06, f07, f08, f09, f10, f11, f12 ) VALUES "
            "( :1, :2, :3, :4, :5, :6, :7, :8, :9, :10, :11, :12 );",
            trace.back().second);
  // The argument keys order as 1, 10, 11, 12, 2 ...; every value must still land in its column.
  EXPECT_EQ(1, dbtest::rawInt(db.RawHandle(),
                              "SELECT count(*) FROM wide WHERE f01 = 100 AND f02 = 200 AND f09 = 900 AND "
                              "f10 = 1000 AND f11 = 1100 AND f12 = 1200;"));
}

TEST_F(BuildersTest, UpdateAndDeleteSelectRowsByEveryKey) {
  ASSERT_TRUE(db.InsertRecord("hardware", hardwareRow("a", "2009-01-01 00:00:00"), false));
  ASSERT_TRUE(db.InsertRecord("hardware", hardwareRow("b", "2009-01-01 00:00:00"), false));
  trace.clear();

  FieldMap key;
  key["hardware_id"].Set(static_cast<int64_t>(2));
  FieldMap set;
  set["last_used_timestamp"].Set("2010-02-15 10:00:01");
  ASSERT_TRUE(db.UpdateRecord("hardware", key, set));
  FieldMap twoKeys;
  twoKeys["name"].Set("a");
  twoKeys["hardware_id"].Set(static_cast<int64_t>(1));
  FieldMap twoFields = hardwareRow("c", "2011-01-01 00:00:00");
  ASSERT_TRUE(db.UpdateRecord("hardware", twoKeys, twoFields));

  // Nothing to set: true without any SQL. No key or no table: false without any SQL.
  EXPECT_TRUE(db.UpdateRecord("hardware", key, FieldMap()));
  EXPECT_FALSE(db.UpdateRecord("hardware", FieldMap(), set));
  EXPECT_FALSE(db.UpdateRecord("", key, set));
  EXPECT_FALSE(db.DeleteRecord("hardware", FieldMap()));
  EXPECT_FALSE(db.DeleteRecord("", key));

  FieldMap byName;
  byName["name"].Set("b");
  ASSERT_TRUE(db.DeleteRecord("hardware", byName));

  EXPECT_EQ((std::vector<std::string>{
                "UPDATE hardware SET last_used_timestamp = :1  WHERE hardware_id = :2;",
                "UPDATE hardware SET last_used_timestamp = :1, name = :2  WHERE hardware_id = :3 AND name = :4;",
                "DELETE FROM hardware WHERE name = :1;"}),
            texts());
  sqlite3* raw = db.RawHandle();
  EXPECT_EQ(1, dbtest::rawInt(raw, "SELECT count(*) FROM hardware;"));
  EXPECT_EQ(1, dbtest::rawInt(raw, "SELECT count(*) FROM hardware WHERE hardware_id = 1 AND name = 'c' AND "
                                   "last_used_timestamp = '2011-01-01 00:00:00';"));
}

}  // namespace
