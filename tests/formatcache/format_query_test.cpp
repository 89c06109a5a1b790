// The engine's format query and the hardware format cache file, through the loaded plug-in,
// and with a fixed wall clock through the same component built in this process.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <string>

#include "formatcache/cache_rig.h"

namespace {

using namespace cachetest;

const int64_t k2010Feb14 = 1266191999;     // 2010-02-14 23:59:59
const int64_t k2010Feb15 = 1266228001;     // 2010-02-15 10:00:01
const int64_t k2010Jan09 = 1263038400;     // 2010-01-09 12:00:00
const int64_t k2010Jan11 = 1263211200;     // 2010-01-11 12:00:00
const int64_t k2012Mar01 = 1330603200;     // 2012-03-01 12:00:00

template <typename Output>
class CacheTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(output.ok()); }
  TempDataHome home;
  Output output;
};
// Through the loaded plug-in, as an engine asks.
typedef CacheTest<LoadedOutput> FormatQuery;
// Timestamps and the purge: outputs built in this process, so the test fixes their wall clock.
typedef CacheTest<InProcessOutput> DatedQuery;

TEST_F(FormatQuery, RefusedQueriesChangeNothingAndDoNotReadTheSetting) {
  output.setCache(true);
  host::OwnedFormatList list(1);
  list[0].cost = 42;
  EXPECT_FALSE(output.queryFormats(&list, 1, 2, 0));
  EXPECT_FALSE(output.queryFormats(&list, 1, 1, 1));
  EXPECT_FALSE(output.queryFormats(&list, 4, 2, 1));
  EXPECT_FALSE(output.queryFormats(&list, 2, 1, 1));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].cost, 42);
  EXPECT_EQ(output.context().settingQueries(), 0);
  EXPECT_NE(access(home.file().c_str(), F_OK), 0);
}

TEST_F(FormatQuery, CacheOffAnswersFromTheTableAndWritesNothing) {
  output.setCache(false);
  host::OwnedFormatList list;
  ASSERT_TRUE(output.queryFormats(&list, 4, 1));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(code(list[0]), "BGRA");
  EXPECT_EQ(code(list[1]), "BGRX");
  for (const KMC::FormatDescriptor& descriptor : list) {
    EXPECT_EQ(descriptor.size, 20);
    EXPECT_EQ(descriptor.kind, 4);
    EXPECT_EQ(descriptor.cost, 200);
    EXPECT_EQ(descriptor.fourCC[4], '\0');
  }
  EXPECT_NE(access(home.file().c_str(), F_OK), 0) << "the cache file must not be made while the cache is off";
}

TEST_F(FormatQuery, NewFileHoldsExactlyTheSchema) {
  output.setCache(true);
  host::OwnedFormatList list;
  ASSERT_TRUE(output.queryFormats(&list));
  // The engine's own objects (sqlite_sequence of AUTOINCREMENT, the indexes of the UNIQUE
  // constraints) come with it.
  const char* const listing = "SELECT type, name, sql FROM sqlite_master WHERE name NOT LIKE 'sqlite_autoindex%' "
                              "ORDER BY type, name;";
  std::vector<Row> schema = query(home.file(), listing);
  ASSERT_EQ(schema.size(), 6u);
  EXPECT_EQ(schema[0][1], "format_hardware_id");
  EXPECT_EQ(schema[0][2], "CREATE INDEX format_hardware_id ON format (hardware_id)");
  EXPECT_EQ(schema[1][1], "format");
  EXPECT_EQ(schema[1][2],
            "CREATE TABLE format (\thardware_id INTEGER NOT NULL,   media_type INTEGER NOT NULL,\tfour_cc TEXT,\t"
            "id INTEGER,\tcost INTEGER NOT NULL DEFAULT 1000,   type_id INTEGER NOT NULL,   "
            "UNIQUE( hardware_id, media_type, four_cc ),   UNIQUE( hardware_id, media_type, id ))");
  EXPECT_EQ(schema[2][1], "hardware");
  EXPECT_EQ(schema[2][2],
            "CREATE TABLE hardware (\thardware_id INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,   name TEXT NOT NULL,"
            "\tlast_used_timestamp TEXT NOT NULL)");
  EXPECT_EQ(schema[3][1], "sqlite_sequence");
  EXPECT_EQ(schema[4][1], "format_fkc");
  EXPECT_EQ(schema[4][2],
            "CREATE TRIGGER format_fkc BEFORE INSERT ON format    FOR EACH ROW BEGIN        SELECT RAISE(ROLLBACK, "
            "'format_fkc violation')            WHERE (SELECT hardware_id FROM hardware WHERE hardware_id = "
            "NEW.hardware_id) IS NULL;    END");
  EXPECT_EQ(schema[5][1], "on_hardware_delete");
  EXPECT_EQ(schema[5][2],
            "CREATE TRIGGER on_hardware_delete AFTER DELETE ON hardware    BEGIN        DELETE FROM format WHERE "
            "hardware_id = old.hardware_id;    END");
  EXPECT_EQ(query(home.file(), "PRAGMA auto_vacuum;")[0][0], "1");

  // A second output opening the same file changes nothing of the schema.
  LoadedOutput second;
  second.setCache(true);
  host::OwnedFormatList again;
  ASSERT_TRUE(second.queryFormats(&again));
  EXPECT_EQ(query(home.file(), listing), schema);
}

TEST_F(DatedQuery, CacheOnRegistersOnceThenAnswersFromTheFile) {
  output.setCache(true);
  setWallClock(k2010Feb14);
  host::OwnedFormatList list;
  ASSERT_TRUE(output.queryFormats(&list));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(code(list[0]), "BGRA");
  EXPECT_EQ(code(list[1]), "BGRX");
  EXPECT_EQ(list[0].cost, 200);
  EXPECT_EQ(list[0].kind, 1);
  std::vector<Row> machines = query(home.file(), "SELECT hardware_id, name, last_used_timestamp FROM hardware;");
  ASSERT_EQ(machines.size(), 1u);
  EXPECT_EQ(machines[0][1], "Test Machine GDI");
  EXPECT_EQ(machines[0][2], "2010-02-14 23:59:59");
  std::vector<Row> formats =
      query(home.file(), "SELECT hardware_id, media_type, four_cc, id, cost, type_id FROM format ORDER BY four_cc;");
  ASSERT_EQ(formats.size(), 2u);
  EXPECT_EQ(formats[0], (Row{machines[0][0], "1", "BGRA", "NULL", "200", "0"}));
  EXPECT_EQ(formats[1], (Row{machines[0][0], "1", "BGRX", "NULL", "200", "0"}));

  // The next answer comes from the file: a cost changed there reaches the engine, nothing is
  // registered again, and the machine's last use moves forward.
  execute(home.file(), "UPDATE format SET cost = 150 WHERE four_cc = 'BGRA';");
  setWallClock(k2010Feb15);
  host::OwnedFormatList second;
  ASSERT_TRUE(output.queryFormats(&second, 4, 1));
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[0].cost, 150);
  EXPECT_EQ(second[0].kind, 4);
  EXPECT_EQ(query(home.file(), "SELECT cost FROM format WHERE four_cc = 'BGRA';")[0][0], "150");
  EXPECT_EQ(query(home.file(), "SELECT last_used_timestamp FROM hardware;")[0][0], "2010-02-15 10:00:01");
}

// UTC text of a time, as the cache stores it.
std::string stamp(time_t when) {
  char text[32];
  struct tm parts;
  gmtime_r(&when, &parts);
  strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
  return text;
}

TEST_F(FormatQuery, TheLoadedPlugInStampsTheRealTimeWhateverTheEnvironmentSays) {
  // A variable that an earlier build read to fix the clock: the shipped library reads none.
  output.setCache(true);
  std::string before, after;
  bool answered;
  {
    testsupport::EnvironmentGuard fixedTime("TAVORIN_FIXED_TIME", "1266191999");
    before = stamp(time(nullptr));
    host::OwnedFormatList list;
    answered = output.queryFormats(&list);
    after = stamp(time(nullptr));
  }
  ASSERT_TRUE(answered);
  std::string used = query(home.file(), "SELECT last_used_timestamp FROM hardware;")[0][0];
  EXPECT_LE(before, used);
  EXPECT_LE(used, after);
}

TEST_F(FormatQuery, KnownMachineWithoutFormatsAnswersNothingAndLongCodesAreCut) {
  output.setCache(true);
  host::OwnedFormatList warmUp;
  ASSERT_TRUE(output.queryFormats(&warmUp));  // makes the file
  execute(home.file(),
          "INSERT INTO hardware (name, last_used_timestamp) VALUES ('Empty Machine GDI', '2010-01-01 00:00:00');"
          "INSERT INTO hardware (name, last_used_timestamp) VALUES ('Long Machine GDI', '2010-01-01 00:00:00');"
          "INSERT INTO format (hardware_id, media_type, four_cc, cost, type_id) "
          "SELECT hardware_id, 1, 'ABCDEFG', 7, 0 FROM hardware WHERE name = 'Long Machine GDI';");

  LoadedOutput empty("Empty Machine ");
  empty.setCache(true);
  host::OwnedFormatList none;
  EXPECT_TRUE(empty.queryFormats(&none));
  EXPECT_TRUE(none.empty());

  LoadedOutput longCode("Long Machine ");
  longCode.setCache(true);
  host::OwnedFormatList cut;
  ASSERT_TRUE(longCode.queryFormats(&cut));
  ASSERT_EQ(cut.size(), 1u);
  EXPECT_EQ(std::memcmp(cut[0].fourCC, "ABCDE\0\0\0", 8), 0);
  EXPECT_EQ(cut[0].cost, 7);
}

TEST_F(FormatQuery, TheSwitchIsReadAgainAtEveryQuery) {
  output.setCache(false);
  host::OwnedFormatList off;
  ASSERT_TRUE(output.queryFormats(&off));
  EXPECT_NE(access(home.file().c_str(), F_OK), 0);
  output.setCache(true);
  host::OwnedFormatList on;
  ASSERT_TRUE(output.queryFormats(&on));
  EXPECT_EQ(on.size(), 2u);
  // The formats were registered while the cache was off; the file learns them from the table.
  EXPECT_EQ(query(home.file(), "SELECT name FROM hardware;"), (std::vector<Row>{{"Test Machine GDI"}}));
  EXPECT_EQ(query(home.file(), "SELECT count(*) FROM format;")[0][0], "2");
  EXPECT_EQ(output.context().settingQueries(), 2);
}

class Purge : public DatedQuery {
 protected:
  // A machine row of another name, last used at lastUsed, with one format.
  void addMachine(const std::string& name, const std::string& lastUsed) {
    execute(home.file(), "INSERT INTO hardware (name, last_used_timestamp) VALUES ('" + name + "', '" + lastUsed +
                             "');"
                             "INSERT INTO format (hardware_id, media_type, four_cc, cost, type_id) "
                             "SELECT hardware_id, 1, 'BGRA', 1, 0 FROM hardware WHERE name = '" +
                             name + "';");
  }
  size_t machinesNamed(const std::string& name) {
    return query(home.file(), "SELECT hardware_id FROM hardware WHERE name = '" + name + "';").size();
  }
  // Opens the cache with the switch on, then destroys the output at the given time.
  void destroyAt(int64_t when) {
    setWallClock(when);
    ASSERT_TRUE(output.component()->destroy());
  }
};

TEST_F(Purge, RemovesMachinesUnusedForACalendarMonthWithTheirFormats) {
  output.setCache(true);
  setWallClock(k2010Feb14);
  host::OwnedFormatList list;
  ASSERT_TRUE(output.queryFormats(&list));
  addMachine("Old Machine", "2010-01-15 10:00:00");

  destroyAt(k2010Feb14);  // cutoff 2010-01-14 23:59:59
  EXPECT_EQ(machinesNamed("Old Machine"), 1u);

  InProcessOutput later;
  later.setCache(true);
  host::OwnedFormatList again;
  ASSERT_TRUE(later.queryFormats(&again));
  setWallClock(k2010Feb15);  // cutoff 2010-01-15 10:00:01
  ASSERT_TRUE(later.component()->destroy());
  EXPECT_EQ(machinesNamed("Old Machine"), 0u);
  EXPECT_EQ(query(home.file(), "SELECT count(*) FROM format WHERE cost = 1;")[0][0], "0");
  EXPECT_EQ(machinesNamed("Test Machine GDI"), 1u);  // used at the second query
}

TEST_F(Purge, InJanuaryTheCutoffIsDecemberOfTheYearBefore) {
  output.setCache(true);
  setWallClock(k2010Jan09);
  host::OwnedFormatList list;
  ASSERT_TRUE(output.queryFormats(&list));
  addMachine("December Machine", "2009-12-10 12:00:00");
  destroyAt(k2010Jan09);  // cutoff 2009-12-09 12:00:00
  EXPECT_EQ(machinesNamed("December Machine"), 1u);

  InProcessOutput later;
  later.setCache(true);
  host::OwnedFormatList again;
  ASSERT_TRUE(later.queryFormats(&again));
  setWallClock(k2010Jan11);  // cutoff 2009-12-11 12:00:00
  ASSERT_TRUE(later.component()->destroy());
  EXPECT_EQ(machinesNamed("December Machine"), 0u);
}

TEST_F(Purge, CacheOffDeletesThisMachineOnlyWhenTheFileWasOpenedBefore) {
  // Never opened in this output's life: the row stays.
  {
    InProcessOutput maker;
    maker.setCache(true);
    host::OwnedFormatList list;
    ASSERT_TRUE(maker.queryFormats(&list));
  }
  addMachine("Test Machine ", "2030-01-01 00:00:00");
  output.setCache(false);
  host::OwnedFormatList off;
  ASSERT_TRUE(output.queryFormats(&off));
  destroyAt(k2012Mar01);
  EXPECT_EQ(machinesNamed("Test Machine "), 1u);

  // Opened by an earlier query with the cache on, then switched off: the machine's row (its
  // name is the descriptor's alone while the cache is off) goes, nothing else does.
  InProcessOutput opened;
  opened.setCache(true);
  host::OwnedFormatList on;
  ASSERT_TRUE(opened.queryFormats(&on));
  opened.setCache(false);
  ASSERT_TRUE(opened.queryFormats(&on));
  ASSERT_TRUE(opened.component()->destroy());
  EXPECT_EQ(machinesNamed("Test Machine "), 0u);
  EXPECT_EQ(machinesNamed("Test Machine GDI"), 1u);
}

// Two processes of the user query a new file at the same moment.
TEST(FormatCacheProcesses, TwoFirstQueriesAtOnceLeaveOneConsistentMachine) {
  TempDataHome home;
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t children[2];
  for (pid_t& child : children) {
    child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      char go;
      if (read(ready[0], &go, 1) != 1) _exit(3);
      LoadedOutput output;
      output.setCache(true);
      host::OwnedFormatList list;
      bool answered = output.ok() && output.queryFormats(&list) && list.size() == 2;
      _exit(answered ? 0 : 1);
    }
  }
  ASSERT_EQ(write(ready[1], "gg", 2), 2);  // both start together
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a process did not answer";
  }
  close(ready[0]);
  close(ready[1]);
  EXPECT_EQ(query(home.file(), "SELECT count(*) FROM hardware;")[0][0], "1");
  EXPECT_EQ(query(home.file(), "SELECT count(*) FROM format;")[0][0], "2");
}

}  // namespace
