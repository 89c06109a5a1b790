// Opening a connection against a file another connection holds locked.
//
// The engine opens files lazily, so sqlite3_open itself does not meet a lock held elsewhere.
// These tests install, as the default file-system layer, a thin wrapper over the engine's own
// that looks at the main database file when it is opened and answers SQLITE_BUSY while another
// connection holds a lock that keeps readers out (here a real BEGIN EXCLUSIVE of a second
// connection). sqlite3_open then reports busy exactly as an engine that checks the file at
// open time does, and the retry schedule runs against a real lock. Sleeps go through the
// platform's Sleep hook, so the schedule is recorded without waiting.
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "database/database.h"
#include "database_test_support.h"
#include "platform/win32.h"

namespace {

sqlite3_vfs* g_base = nullptr;
sqlite3_vfs g_probe;
int g_mainOpens = 0;  // attempts to open a main database file

// Whether another connection holds a lock that keeps a reader from the file.
bool lockedByAnother(const char* name) {
  sqlite3_file* file = static_cast<sqlite3_file*>(std::calloc(1, static_cast<size_t>(g_base->szOsFile)));
  int outFlags = 0;
  bool locked = false;
  if (g_base->xOpen(g_base, name, file, SQLITE_OPEN_READONLY | SQLITE_OPEN_MAIN_DB, &outFlags) == SQLITE_OK) {
    locked = file->pMethods->xLock(file, SQLITE_LOCK_SHARED) == SQLITE_BUSY;
    if (!locked) file->pMethods->xUnlock(file, SQLITE_LOCK_NONE);
    file->pMethods->xClose(file);
  }
  std::free(file);
  return locked;
}

int probeOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
  if ((flags & SQLITE_OPEN_MAIN_DB) && name) {
    ++g_mainOpens;
    if (lockedByAnother(name)) return SQLITE_BUSY;
  }
  return g_base->xOpen(g_base, name, file, flags, outFlags);
}

std::vector<DWORD> g_sleeps;
DWORD g_slept = 0;
sqlite3* g_holder = nullptr;       // the connection holding the lock
DWORD g_releaseAfter = 0xFFFFFFFF;  // ms of (recorded) sleeping after which it commits

void recordSleep(DWORD milliseconds) {
  g_sleeps.push_back(milliseconds);
  g_slept += milliseconds;
  if (g_holder && g_slept >= g_releaseAfter) {
    dbtest::rawExec(g_holder, "COMMIT;");
    g_releaseAfter = 0xFFFFFFFF;
  }
}

class OpenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_base = sqlite3_vfs_find(nullptr);
    ASSERT_NE(nullptr, g_base);
    g_probe = *g_base;
    g_probe.pNext = nullptr;
    g_probe.zName = "tavorin-lock-probe";
    g_probe.xOpen = probeOpen;
    ASSERT_EQ(SQLITE_OK, sqlite3_vfs_register(&g_probe, 1));
    g_mainOpens = 0;
    g_sleeps.clear();
    g_slept = 0;
    g_releaseAfter = 0xFFFFFFFF;
    platform_testing::setSleepHook(recordSleep);

    path = dir.file("locked.db");
    ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(path.c_str(), &g_holder, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                         g_base->zName));
    dbtest::rawExec(g_holder, "CREATE TABLE t (a INTEGER); BEGIN EXCLUSIVE; INSERT INTO t VALUES (1);");
  }
  void TearDown() override {
    platform_testing::setSleepHook(nullptr);
    sqlite3_close(g_holder);
    g_holder = nullptr;
    sqlite3_vfs_unregister(&g_probe);
  }

  testsupport::TempFolder dir;
  dbtest::LogCapture log;
  std::string path;
};

TEST_F(OpenTest, ALockThatStaysGivesUpAfterThirteenAttemptsAndOneRecord) {
  KSDSOLD::Database db;
  EXPECT_FALSE(db.Open(path));
  EXPECT_EQ(13, g_mainOpens);
  std::vector<DWORD> expected;
  for (DWORD wait = 20; expected.size() < 12; wait *= 2) expected.push_back(wait);
  EXPECT_EQ(expected, g_sleeps);  // 20, 40 ... 40960: the twelfth passes 60000 in total
  EXPECT_EQ(std::vector<std::string>{dbtest::sqliteRecord("KSDSOLD::Database::Open", 441, 5, "database is locked")},
            log.lines());

  // The failed handle stays: a second Open is refused without trying, until Close.
  EXPECT_TRUE(db.IsOpen());
  EXPECT_FALSE(db.Open(path));
  EXPECT_EQ(13, g_mainOpens);
  dbtest::rawExec(g_holder, "COMMIT;");
  EXPECT_TRUE(db.Close());
  EXPECT_TRUE(db.Open(path));
  EXPECT_EQ(1, dbtest::rawInt(db.RawHandle(), "SELECT count(*) FROM t;"));
}

TEST_F(OpenTest, ALockReleasedAfterAbout100MillisecondsIsRiddenOutAtTheFourthAttempt) {
  g_releaseAfter = 100;
  KSDSOLD::Database db;
  ASSERT_TRUE(db.Open(path));
  EXPECT_EQ(4, g_mainOpens);
  EXPECT_EQ((std::vector<DWORD>{20, 40, 80}), g_sleeps);
  EXPECT_TRUE(log.lines().empty());
  // The holder's committed row is visible, and later statements wait for locks on their own.
  EXPECT_EQ(1, dbtest::rawInt(db.RawHandle(), "SELECT count(*) FROM t;"));
  EXPECT_TRUE(db.ExecSQL("INSERT INTO t VALUES (2);"));
}

TEST_F(OpenTest, ASecondOpenOfAnOpenConnectionIsRefusedAndTheFirstKeepsWorking) {
  dbtest::rawExec(g_holder, "COMMIT;");
  KSDSOLD::Database db;
  EXPECT_FALSE(db.Open(""));
  EXPECT_FALSE(db.IsOpen());
  ASSERT_TRUE(db.Open(path));
  sqlite3* first = db.RawHandle();
  EXPECT_FALSE(db.Open(path));
  EXPECT_FALSE(db.Open(dir.file("other.db")));
  EXPECT_EQ(first, db.RawHandle());
  EXPECT_TRUE(db.ExecSQL("INSERT INTO t VALUES (2);"));
  EXPECT_EQ(2, dbtest::rawInt(db.RawHandle(), "SELECT count(*) FROM t;"));
  EXPECT_EQ(1, g_mainOpens);
  EXPECT_TRUE(g_sleeps.empty());
  EXPECT_TRUE(log.lines().empty());
}

}  // namespace
