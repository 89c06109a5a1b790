#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "database/app_database.h"
#include "database/table_reader.h"
#include "database_test_support.h"

using KSDSOLD::ColumnMap;
using KSDSOLD::FieldMap;

namespace {

bool exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS hardware (hardware_id INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,"
    " name TEXT NOT NULL, last_used_timestamp TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS format (hardware_id INTEGER NOT NULL, media_type INTEGER NOT NULL, four_cc TEXT,"
    " cost INTEGER NOT NULL DEFAULT 1000);"
    "INSERT INTO hardware (name, last_used_timestamp) VALUES ('schema run', '2009-01-01 00:00:00');";

class AppDatabaseTest : public ::testing::Test {
 protected:
  AppDatabaseTest() : xdg("XDG_DATA_HOME", dir.path().c_str()), home("HOME", dir.file("home").c_str()) {}
  void TearDown() override { EXPECT_TRUE(log.lines().empty()) << log.lines()[0]; }

  int64_t count(const char* sql) { return dbtest::rawInt(app.Connection().RawHandle(), sql); }

  testsupport::TempFolder dir;
  testsupport::EnvironmentGuard xdg;
  testsupport::EnvironmentGuard home;
  dbtest::LogCapture log;
  ksds::Database app;
};

TEST_F(AppDatabaseTest, OpenCreatesTheFoldersAndRunsTheSchemaOnce) {
  EXPECT_FALSE(app.IsOpened());
  ASSERT_TRUE(app.Open("Hardware Cache", kSchema));
  const std::string expected = dir.path() + "/Kestra/Kestra Media Core/v3.1/Hardware Cache";
  EXPECT_EQ(expected, app.GetPath());
  EXPECT_TRUE(exists(expected));
  EXPECT_TRUE(app.IsOpened());
  EXPECT_TRUE(app.Open("Hardware Cache", kSchema));
  EXPECT_EQ(1, count("SELECT count(*) FROM hardware;"));
  EXPECT_FALSE(exists(dir.file("home")));

  // Existing folders are fine; the schema runs again for a new connection and keeps the tables.
  ksds::Database again;
  ASSERT_TRUE(again.Open("Hardware Cache", kSchema));
  EXPECT_EQ(2, dbtest::rawInt(again.Connection().RawHandle(), "SELECT count(*) FROM hardware;"));
}

TEST_F(AppDatabaseTest, FoldersWithNonAsciiNamesArePassedThrough) {
  const std::string base = dir.file("donn\xC3\xA9" "es \xF0\x9F\x8E\xAC");
  testsupport::EnvironmentGuard unicode("XDG_DATA_HOME", base.c_str());
  ASSERT_TRUE(app.Open("cache", kSchema));
  EXPECT_TRUE(exists(base + "/Kestra/Kestra Media Core/v3.1/cache"));
}

TEST_F(AppDatabaseTest, WithoutAnApplicationDataFolderNothingIsCreatedOrLogged) {
  testsupport::EnvironmentGuard noXdg("XDG_DATA_HOME", nullptr);
  testsupport::EnvironmentGuard relativeHome("HOME", "relative/home");
  EXPECT_FALSE(app.Open("Hardware Cache", kSchema));
  EXPECT_FALSE(app.IsOpened());
  EXPECT_TRUE(app.GetPath().empty());
  EXPECT_FALSE(app.Connection().IsOpen());
  EXPECT_FALSE(exists("relative"));
  EXPECT_FALSE(exists(dir.file("Kestra")));
}

class GetRecordTest : public AppDatabaseTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app.Open("cache", kSchema));
    sqlite3_trace_v2(app.Connection().RawHandle(), SQLITE_TRACE_STMT, traceStatement, &trace);
    FieldMap row;
    row["name"].Set("GDI box");
    row["last_used_timestamp"].Set("2010-01-15 10:00:00");
    ASSERT_TRUE(app.InsertRecord("hardware", row, false));
    for (const char* fourCc : {"BGRA", "BGRX"}) {
      FieldMap format;
      format["hardware_id"].Set(static_cast<int64_t>(2));
      format["media_type"].Set(static_cast<int32_t>(1));
      format["four_cc"].Set(fourCc);
      format["cost"].Set(static_cast<int64_t>(200));
      ASSERT_TRUE(app.InsertRecord("format", format, false));
    }
    trace.clear();
  }

  static int traceStatement(unsigned, void* context, void* statement, void*) {
    static_cast<std::vector<sqlite3_stmt*>*>(context)->push_back(static_cast<sqlite3_stmt*>(statement));
    return 0;
  }

  std::vector<sqlite3_stmt*> trace;
};

TEST_F(GetRecordTest, LookupsOfOneShapeShareOneNamedStatement) {
  ksds::TableReader hardware(app, "hardware");
  FieldMap key;
  key["name"].Set("GDI box");
  ColumnMap columns;
  ASSERT_TRUE(hardware.GetRecord(&key, columns));
  ASSERT_EQ(3u, columns.size());
  ASSERT_EQ(1u, columns["hardware_id"].size());
  EXPECT_EQ(2, columns["hardware_id"].front().GetInt64());
  EXPECT_EQ("2010-01-15 10:00:00", columns["last_used_timestamp"].front().GetText());

  key["name"].Set("schema run");
  ASSERT_TRUE(hardware.GetRecord(&key, columns));
  EXPECT_EQ(1, columns["hardware_id"].front().GetInt64());

  key["name"].Set("unknown");
  columns["stale"];
  ASSERT_TRUE(hardware.GetRecord(&key, columns));
  EXPECT_TRUE(columns.empty());

  // Three runs of one compiled statement, and no other statement left on the connection.
  ASSERT_EQ(3u, trace.size());
  EXPECT_EQ(trace[0], trace[1]);
  EXPECT_EQ(trace[0], trace[2]);
  EXPECT_STREQ("SELECT * FROM hardware WHERE name = :1;", sqlite3_sql(trace[0]));
  EXPECT_EQ(trace[0], sqlite3_next_stmt(app.Connection().RawHandle(), nullptr));
  EXPECT_EQ(nullptr, sqlite3_next_stmt(app.Connection().RawHandle(), trace[0]));

  // The statement is cached under the documented name.
  FieldMap argument;
  argument["1"].Set("GDI box");
  ASSERT_TRUE(app.Connection().ExecuteNamed("ksds::Database::GetRecord->hardware(,name)", &argument, &columns));
  EXPECT_EQ(1u, columns["name"].size());
}

TEST_F(GetRecordTest, SeveralKeysJoinWithAndInByteOrder) {
  FieldMap keys;
  keys["media_type"].Set(static_cast<int32_t>(1));
  keys["hardware_id"].Set(static_cast<int64_t>(2));
  ColumnMap columns;
  ASSERT_TRUE(app.GetRecord("format", &keys, columns));
  ASSERT_EQ(4u, columns.size());
  ASSERT_EQ(2u, columns["four_cc"].size());
  EXPECT_EQ("BGRA", columns["four_cc"].front().GetText());
  EXPECT_EQ("BGRX", columns["four_cc"].back().GetText());
  ASSERT_EQ(1u, trace.size());
  EXPECT_STREQ("SELECT * FROM format WHERE hardware_id = :1 AND media_type = :2;", sqlite3_sql(trace[0]));
  FieldMap arguments;
  arguments["1"].Set(static_cast<int64_t>(2));
  arguments["2"].Set(static_cast<int64_t>(1));
  ASSERT_TRUE(app.Connection().ExecuteNamed("ksds::Database::GetRecord->format(,hardware_id,media_type)",
                                            &arguments, &columns));
  EXPECT_EQ(2u, columns["cost"].size());
}

}  // namespace
