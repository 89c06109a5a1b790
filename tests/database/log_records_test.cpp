// Every record the database layer writes, read back from the logging library's file: the
// category, the function tag, the line, the engine's code and its message.
//
// Two records cannot be provoked with a real engine: sqlite3_busy_timeout (line 445) and
// sqlite3_clear_bindings (line 251) answer SQLITE_OK for every handle this layer holds.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "database/app_database.h"
#include "database/database.h"
#include "database/prepared_statement_impl.h"
#include "database_test_support.h"

using KSDSOLD::FieldMap;
using KSDSOLD::IPreparedStatement;
using KSDSOLD::Variant;
using dbtest::sqliteRecord;

namespace {

typedef std::vector<std::string> Lines;

class LogRecordsTest : public ::testing::Test {
 protected:
  testsupport::TempFolder dir;
  dbtest::LogCapture log;
};

TEST_F(LogRecordsTest, ConnectionFailures) {
  KSDSOLD::Database db;
  EXPECT_FALSE(db.Open(dir.file("missing/folder/file.db")));
  EXPECT_EQ(Lines{sqliteRecord("KSDSOLD::Database::Open", 441, 14, "unable to open database file")}, log.lines());
  // The failed handle can neither open again nor prepare; Close frees it without complaint.
  EXPECT_FALSE(db.Open(dir.file("file.db")));
  EXPECT_TRUE(db.Close());
  EXPECT_EQ(1u, log.lines().size());

  // ExecSQL also runs on a closed connection; the engine answers misuse.
  EXPECT_FALSE(db.ExecSQL("SELECT 1;"));
  EXPECT_EQ(sqliteRecord("KSDSOLD::Database::ExecSQL", 826, 21, "out of memory"), log.lines().back());

  ASSERT_TRUE(db.Open(dir.file("file.db")));
  EXPECT_FALSE(db.ExecSQL("SELEC 1;"));
  EXPECT_EQ(sqliteRecord("KSDSOLD::Database::ExecSQL", 826, 1, "near \"SELEC\": syntax error"), log.lines().back());

  IPreparedStatement* statement = nullptr;
  EXPECT_FALSE(db.PrepareStatement("SELECT a FROM nowhere;", &statement));
  EXPECT_EQ(nullptr, statement);
  EXPECT_EQ(sqliteRecord("KSDSOLD::Database::PrepareStatement", 884, 1, "no such table: nowhere"), log.lines().back());
  EXPECT_FALSE(db.PrepareStatement("named", "SELECT * FROM t WHERE ;", true));
  EXPECT_EQ(sqliteRecord("KSDSOLD::Database::PrepareStatement", 922, 1, "near \";\": syntax error"),
            log.lines().back());

  // A statement still held elsewhere keeps the engine from closing: logged, false, and the
  // connection is closed for this object all the same.
  ASSERT_TRUE(db.PrepareStatement("SELECT 1;", &statement));
  EXPECT_FALSE(db.Close());
  EXPECT_EQ(sqliteRecord("KSDSOLD::Database::Close", 504, 5,
                         "unable to close due to unfinalized statements or unfinished backups"),
            log.lines().back());
  EXPECT_FALSE(db.IsOpen());
  EXPECT_EQ(6u, log.lines().size());
  EXPECT_EQ(0, statement->Release());  // the engine finishes the close here
}

TEST_F(LogRecordsTest, StatementFailures) {
  KSDSOLD::Database db;
  ASSERT_TRUE(db.Open(":memory:"));
  ASSERT_TRUE(db.ExecSQL("CREATE TABLE t (a UNIQUE); INSERT INTO t VALUES (1); INSERT INTO t VALUES (2);"));

  // Binding while the statement is between rows is engine misuse, for every kind of value.
  IPreparedStatement* query = nullptr;
  ASSERT_TRUE(db.PrepareStatement("SELECT a, :v FROM t;", &query));
  int result = 0;
  ASSERT_TRUE(query->Step(result));
  Variant value;
  const std::string misuse = "bad parameter or other API misuse";
  value.Set(1.5);
  EXPECT_FALSE(query->BindArg("v", value));
  value.Set(static_cast<int64_t>(1));
  EXPECT_FALSE(query->BindArg("v", value));
  value.Set("text");
  EXPECT_FALSE(query->BindArg("v", value));
  value.Set(KSDSOLD::DateTime());
  EXPECT_FALSE(query->BindArg("v", value));
  value.Clear();
  EXPECT_FALSE(query->BindArg("v", value));
  KSDSOLD::ByteBuffer bytes;
  bytes.Resize(1, true);
  value.Set(bytes);
  EXPECT_FALSE(query->BindArg("v", value));
  EXPECT_EQ((Lines{sqliteRecord("KSDSOLD::PreparedStatementImpl::BindArg", 284, 21, misuse),
                   sqliteRecord("KSDSOLD::PreparedStatementImpl::BindArg", 287, 21, misuse),
                   sqliteRecord("KSDSOLD::PreparedStatementImpl::BindArg", 290, 21, misuse),
                   sqliteRecord("KSDSOLD::PreparedStatementImpl::BindArg", 293, 21, misuse),
                   sqliteRecord("KSDSOLD::PreparedStatementImpl::BindArg", 296, 21, misuse),
                   sqliteRecord("KSDSOLD::PreparedStatementImpl::BindArg", 296, 21, misuse)}),
            log.lines());
  query->Release();

  // A run that ends in an error is not logged, and it is that run's failure only: the next
  // run of the same cached statement answers for itself, without a record of the old error.
  ASSERT_TRUE(db.PrepareStatement("insert", "INSERT INTO t VALUES (:a);", false));
  FieldMap duplicate;
  duplicate["a"].Set(static_cast<int64_t>(1));
  EXPECT_FALSE(db.ExecuteNamed("insert", &duplicate));
  EXPECT_EQ(19, sqlite3_errcode(db.RawHandle()));
  EXPECT_STREQ("UNIQUE constraint failed: t.a", sqlite3_errmsg(db.RawHandle()));
  FieldMap fresh;
  fresh["a"].Set(static_cast<int64_t>(3));
  EXPECT_TRUE(db.ExecuteNamed("insert", &fresh));
  EXPECT_FALSE(db.ExecuteNamed("insert", &duplicate));
  EXPECT_FALSE(db.ExecuteNamed("insert", &duplicate));
  fresh["a"].Set(static_cast<int64_t>(4));
  EXPECT_TRUE(db.ExecuteNamed("insert", &fresh));
  EXPECT_EQ(6u, log.lines().size());
  EXPECT_EQ(4, dbtest::rawInt(db.RawHandle(), "SELECT count(*) FROM t;"));

  // The reset's own record: a run stepped past this layer ends in an error, which the engine
  // repeats at the reset.
  IPreparedStatement* stepped = nullptr;
  ASSERT_TRUE(db.PrepareStatement("INSERT INTO t VALUES (1);", &stepped));
  EXPECT_EQ(19, sqlite3_step(static_cast<KSDSOLD::PreparedStatementImpl*>(stepped)->RawStatement()));
  EXPECT_FALSE(stepped->Reset());
  EXPECT_EQ(sqliteRecord("KSDSOLD::PreparedStatementImpl::Reset", 238, 19, "UNIQUE constraint failed: t.a"),
            log.lines().back());
  stepped->Release();
}

TEST_F(LogRecordsTest, AFailingSchemaScriptIsLoggedAndLeavesTheDatabaseOpened) {
  testsupport::EnvironmentGuard xdg("XDG_DATA_HOME", dir.path().c_str());
  ksds::Database app;
  EXPECT_FALSE(app.Open("cache", "CREATE TABLE t (a); CREATE TABLE t (a);"));
  EXPECT_TRUE(app.IsOpened());
  EXPECT_EQ(Lines{sqliteRecord("KSDSOLD::Database::ExecSQL", 826, 1, "table t already exists")}, log.lines());
  // A GetRecord without keys gives a text the engine refuses.
  KSDSOLD::ColumnMap columns;
  EXPECT_FALSE(app.GetRecord("t", nullptr, columns));
  EXPECT_EQ(sqliteRecord("KSDSOLD::Database::PrepareStatement", 922, 1, "incomplete input"), log.lines().back());
}

}  // namespace
