#include <gtest/gtest.h>

#include "database/database.h"
#include "database/prepared_statement_impl.h"
#include "database_test_support.h"

using KSDSOLD::ColumnMap;
using KSDSOLD::ColumnNameList;
using KSDSOLD::FieldMap;
using KSDSOLD::IPreparedStatement;
using KSDSOLD::IPreparedStatementEx;
using KSDSOLD::RowList;
using KSDSOLD::Variant;
using KSDSOLD::VariantType;

namespace {

class StatementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db.Open(":memory:"));
    ASSERT_TRUE(db.ExecSQL("CREATE TABLE t (id INTEGER, name TEXT, stamp TEXT, data BLOB, UNIQUE(id));"));
  }
  void TearDown() override { EXPECT_TRUE(log.lines().empty()) << log.lines()[0]; }

  // Prepares sql; the test owns the one reference.
  IPreparedStatementEx* prepare(const char* sql) {
    IPreparedStatement* statement = nullptr;
    EXPECT_TRUE(db.PrepareStatement(sql, &statement)) << sql;
    if (statement) {
      EXPECT_EQ(1, statement->GetRefCount());
    }
    return dynamic_cast<IPreparedStatementEx*>(statement);
  }

  ColumnMap select(const char* sql) {
    IPreparedStatementEx* statement = prepare(sql);
    ColumnMap columns;
    EXPECT_TRUE(db.Execute(statement, nullptr, &columns));
    statement->Release();
    return columns;
  }

  dbtest::LogCapture log;
  KSDSOLD::Database db;
};

TEST_F(StatementTest, BindArgPutsTheColonInFrontOfTheName) {
  IPreparedStatementEx* insert = prepare("INSERT INTO t (id, name) VALUES (:id, :name);");
  EXPECT_EQ(2, insert->GetArgCount());
  Variant id;
  id.Set(static_cast<int64_t>(5));
  Variant name;
  name.Set("five");
  EXPECT_TRUE(insert->BindArg("id", id));
  EXPECT_TRUE(insert->BindArg("name", name));
  // Names with the colon are looked up as "::id" and refused, without a log.
  EXPECT_FALSE(insert->BindArg(":id", id));
  EXPECT_FALSE(insert->BindArg("missing", id));
  EXPECT_FALSE(insert->BindArg("", id));
  EXPECT_FALSE(insert->BindArg(nullptr, id));
  int result = -1;
  EXPECT_FALSE(insert->Step(result));
  EXPECT_EQ(SQLITE_DONE, result);
  insert->Release();

  ColumnMap columns = select("SELECT id, name FROM t;");
  ASSERT_EQ(1u, columns["id"].size());
  EXPECT_EQ(5, columns["id"].front().GetInt64());
  EXPECT_EQ("five", columns["name"].front().GetText());
}

TEST_F(StatementTest, ValuesBindByKindAndReadBackAsTheEngineStoresThem) {
  IPreparedStatementEx* insert = prepare("INSERT INTO t (id, name, stamp, data) VALUES (:id, :name, :stamp, :data);");
  FieldMap arguments;
  arguments["id"].Set(2.5);
  arguments["name"].Set(static_cast<int64_t>(-9));
  KSDSOLD::DateTime when;
  when.SetFromTime(1236236889);
  arguments["stamp"].Set(when);
  KSDSOLD::ByteBuffer bytes;
  bytes.Resize(2, true);
  arguments["data"].Set(bytes);
  EXPECT_TRUE(db.Execute(insert, &arguments));
  insert->Release();
  ASSERT_TRUE(db.ExecSQL("INSERT INTO t (id, data) VALUES (3, X'0102');"));

  ColumnMap columns = select("SELECT id, name, stamp, data FROM t ORDER BY id;");
  ASSERT_EQ(4u, columns.size());
  ASSERT_EQ(2u, columns["id"].size());
  EXPECT_EQ(VariantType::Real, columns["id"].front().GetType());
  EXPECT_EQ(2.5, columns["id"].front().GetReal());
  // The column has TEXT affinity, so the integer comes back as text: nothing converts it here.
  EXPECT_EQ(VariantType::Text, columns["name"].front().GetType());
  EXPECT_EQ("-9", columns["name"].front().GetText());
  // A DateTime is stored as its text and read back as Text.
  EXPECT_EQ(VariantType::Text, columns["stamp"].front().GetType());
  EXPECT_EQ("2009-03-05 07:08:09", columns["stamp"].front().GetText());
  // A Blob argument stores NULL; a stored blob reads back as Null as well.
  EXPECT_EQ(VariantType::Null, columns["data"].front().GetType());
  EXPECT_EQ(VariantType::Null, columns["data"].back().GetType());
  EXPECT_EQ(1, dbtest::rawInt(db.RawHandle(), "SELECT count(*) FROM t WHERE data IS NULL;"));
}

TEST_F(StatementTest, ExecuteRefusesAWrongArgumentCountWithoutTouchingTheStatement) {
  IPreparedStatementEx* insert = prepare("INSERT INTO t (id, name, stamp) VALUES (:a, :b, :c);");
  Variant one;
  one.Set(static_cast<int64_t>(1));
  ASSERT_TRUE(insert->BindArg("a", one));
  ASSERT_TRUE(insert->BindArg("b", one));
  ASSERT_TRUE(insert->BindArg("c", one));
  FieldMap two;
  two["a"].Set(static_cast<int64_t>(7));
  two["b"].Set(static_cast<int64_t>(7));
  EXPECT_FALSE(db.Execute(insert, &two));
  EXPECT_FALSE(db.Execute(insert));
  // The earlier bindings are still in place: no reset, no clear, no bind happened.
  int result = 0;
  EXPECT_FALSE(insert->Step(result));
  EXPECT_EQ(SQLITE_DONE, result);
  insert->Release();
  EXPECT_EQ(1, dbtest::rawInt(db.RawHandle(), "SELECT count(*) FROM t WHERE id = 1 AND name = '1' AND stamp = '1';"));
}

TEST_F(StatementTest, SelectWithoutRowsAnswersTrueAndMakesNoColumnLists) {
  IPreparedStatementEx* query = prepare("SELECT id, name FROM t WHERE id = :id;");
  FieldMap key;
  key["id"].Set(static_cast<int64_t>(99));
  ColumnMap columns;
  columns["stale"].push_back(Variant());
  EXPECT_TRUE(db.Execute(query, &key, &columns));
  EXPECT_TRUE(columns.empty());
  EXPECT_EQ(2u, query->GetColumnCount());
  EXPECT_STREQ("name", query->GetColumnName(1));
  EXPECT_EQ(nullptr, query->GetColumnName(2));
  Variant cell;
  EXPECT_FALSE(query->GetColumn(2, cell));
  query->Release();
}

TEST_F(StatementTest, ErrorsWhileSteppingAnswerFalseWithTheRowsReadSoFar) {
  ASSERT_TRUE(db.ExecSQL("INSERT INTO t (id) VALUES (1); INSERT INTO t (id) VALUES (2);"
                         "INSERT INTO t (id) VALUES (-9223372036854775808);"));
  // abs() of the smallest integer overflows on the third row.
  IPreparedStatementEx* query = prepare("SELECT abs(id) AS a FROM t ORDER BY rowid;");
  ColumnMap columns;
  EXPECT_FALSE(db.Execute(query, nullptr, &columns));
  ASSERT_EQ(2u, columns["a"].size());
  EXPECT_EQ(2, columns["a"].back().GetInt64());

  query->Release();
  query = prepare("SELECT abs(id) AS a FROM t ORDER BY rowid;");
  RowList rows;
  EXPECT_FALSE(db.Execute(query, nullptr, &rows));
  EXPECT_EQ(2u, rows.size());
  query->Release();

  // A UNIQUE conflict ends the run with a constraint error: false, and nothing inserted.
  IPreparedStatementEx* insert = prepare("INSERT INTO t (id) VALUES (:id);");
  FieldMap duplicate;
  duplicate["id"].Set(static_cast<int64_t>(1));
  EXPECT_FALSE(db.Execute(insert, &duplicate, static_cast<RowList*>(nullptr)));
  insert->Release();
  EXPECT_EQ(3, dbtest::rawInt(db.RawHandle(), "SELECT count(*) FROM t;"));
}

TEST_F(StatementTest, RowFormCollectsPairsOrNamesOnce) {
  ASSERT_TRUE(db.ExecSQL("INSERT INTO t (id, name) VALUES (1, 'a'); INSERT INTO t (id, name) VALUES (2, 'b');"));
  IPreparedStatementEx* query = prepare("SELECT id, name FROM t ORDER BY id;");

  RowList rows;
  ASSERT_TRUE(db.Execute(query, nullptr, &rows));
  ASSERT_EQ(2u, rows.size());
  ASSERT_EQ(2u, rows.back().size());
  EXPECT_EQ("name", rows.back().back().first);
  EXPECT_EQ("b", rows.back().back().second.GetText());

  ColumnNameList names;
  names.push_back("stale");
  ASSERT_TRUE(db.Execute(query, nullptr, &rows, &names));
  EXPECT_EQ((ColumnNameList{"id", "name"}), names);
  ASSERT_EQ(2u, rows.size());
  EXPECT_EQ("", rows.front().front().first);
  EXPECT_EQ(1, rows.front().front().second.GetInt64());
  query->Release();
}

// A statement that is not an IPreparedStatementEx: the execution operations refuse it.
class BareStatement : public IPreparedStatement {
 public:
  int32_t AddRef() override { return ++count; }
  int32_t Release() override { return --count; }
  int32_t GetRefCount() const override { return count; }
  bool Reset() override { return ++calls, true; }
  bool ClearArgs() override { return ++calls, true; }
  bool BindArg(const char*, const Variant&) override { return ++calls, true; }
  int GetArgCount() override { return ++calls, 0; }
  bool Step(int& result) override { return ++calls, result = SQLITE_DONE, false; }
  int32_t count = 1;
  int calls = 0;
};

TEST_F(StatementTest, ExecuteNeedsTheExtendedInterfaceAndAnOpenConnection) {
  BareStatement bare;
  ColumnMap columns;
  EXPECT_FALSE(db.Execute(&bare, nullptr, &columns));
  EXPECT_FALSE(db.Execute(nullptr));
  EXPECT_EQ(0, bare.calls);
  EXPECT_EQ(1, bare.count);

  IPreparedStatementEx* query = prepare("SELECT 1;");
  ASSERT_TRUE(db.Execute(query));
  KSDSOLD::Database closed;
  EXPECT_FALSE(closed.Execute(query));
  EXPECT_FALSE(closed.ExecuteNamed("anything"));
  IPreparedStatement* none = query;
  EXPECT_FALSE(closed.PrepareStatement("SELECT 1;", &none));
  EXPECT_EQ(nullptr, none);
  query->Release();

  // Text without any statement prepares nothing and logs nothing.
  EXPECT_FALSE(db.PrepareStatement("  -- only a comment", &none));
  EXPECT_FALSE(db.PrepareStatement("", &none));
  EXPECT_FALSE(db.PrepareStatement("SELECT 1;", nullptr));
}

TEST_F(StatementTest, NamedStatementsStayCachedUntilClose) {
  ASSERT_TRUE(db.PrepareStatement("count", "SELECT count(*) AS n FROM t;", false));
  // Without replace a cached name is kept and the new text is not even compiled.
  EXPECT_TRUE(db.PrepareStatement("count", "not SQL at all", false));
  EXPECT_FALSE(db.PrepareStatement("", "SELECT 1;", false));
  EXPECT_FALSE(db.PrepareStatement("empty", "", false));
  ColumnMap columns;
  ASSERT_TRUE(db.ExecuteNamed("count", nullptr, &columns));
  EXPECT_EQ(0, columns["n"].front().GetInt64());
  EXPECT_FALSE(db.ExecuteNamed("unknown", nullptr, &columns));
  EXPECT_TRUE(columns.empty());

  ASSERT_TRUE(db.PrepareStatement("count", "SELECT 5 AS five;", true));
  ASSERT_TRUE(db.ExecuteNamed("count", nullptr, &columns));
  EXPECT_EQ(5, columns["five"].front().GetInt64());
  sqlite3_stmt* only = sqlite3_next_stmt(db.RawHandle(), nullptr);
  ASSERT_NE(nullptr, only);
  EXPECT_EQ(nullptr, sqlite3_next_stmt(db.RawHandle(), only));  // the replaced one is finalized

  // Close releases the cached statements first, so the engine closes cleanly.
  EXPECT_TRUE(db.Close());
  EXPECT_FALSE(db.IsOpen());
  EXPECT_FALSE(db.ExecuteNamed("count", nullptr, &columns));
  EXPECT_TRUE(db.Close());
}

}  // namespace
