// A cache file that is broken, foreign or out of reach never crashes the engine: the query
// answers false, the engine's log says why, and no other file is touched.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>

#include "formatcache/cache_rig.h"

namespace {

using namespace cachetest;

std::set<std::string> listFolder(const std::string& folder) {
  std::set<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      names.insert(entry->d_name);
    }
    closedir(dir);
  }
  return names;
}

class DamagedFile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(std::system(("mkdir -p '" + home.folder() + "'").c_str()), 0); }
  // Queries with the cache on from a fresh output; answers whether the query succeeded.
  bool queryOnce() {
    LoadedOutput output;
    EXPECT_TRUE(output.ok());
    output.setCache(true);
    host::OwnedFormatList list;
    bool answered = output.queryFormats(&list);
    if (!answered) {
      EXPECT_TRUE(list.empty());
    }
    EXPECT_TRUE(output.component()->destroy());
    return answered;
  }
  TempDataHome home;
  std::string log = home.path() + "/engine.log";
  testsupport::EnvironmentGuard logFile{"KMC_LOG_FILE", log.c_str()};
};

TEST_F(DamagedFile, NotADatabaseAnswersFalseLogsAndKeepsTheFile) {
  std::string junk(3000, 'x');
  { std::ofstream(home.file(), std::ios::binary) << junk; }
  std::set<std::string> before = listFolder(home.folder());
  EXPECT_FALSE(queryOnce());
  EXPECT_EQ(readFile(home.file()), junk);
  EXPECT_EQ(listFolder(home.folder()), before);
  std::string records = readFile(log);
  EXPECT_NE(records.find("Cache|KSDSOLD::Database::ExecSQL|826|SQLITE ERROR: 26\\nfile is not a database"),
            std::string::npos)
      << records;
}

TEST_F(DamagedFile, TruncatedDatabaseAnswersFalseAndLogs) {
  {
    LoadedOutput maker;
    maker.setCache(true);
    host::OwnedFormatList list;
    ASSERT_TRUE(maker.queryFormats(&list));
  }
  // Keep the header page only: the schema and rows are gone from the file.
  ASSERT_EQ(truncate(home.file().c_str(), 512), 0);
  std::string kept = readFile(home.file());
  EXPECT_FALSE(queryOnce());
  EXPECT_EQ(readFile(home.file()), kept);
  EXPECT_NE(readFile(log).find("SQLITE ERROR"), std::string::npos);
}

TEST_F(DamagedFile, FileThatCannotBeOpenedAnswersFalseAndLogs) {
  ASSERT_EQ(mkdir(home.file().c_str(), 0700), 0);  // a folder where the file should be
  EXPECT_FALSE(queryOnce());
  std::string records = readFile(log);
  EXPECT_NE(records.find("Cache|KSDSOLD::Database::Open|441|SQLITE ERROR: 14"), std::string::npos) << records;
}

TEST_F(DamagedFile, ReadOnlyFileAnswersFalseAndIsNotChanged) {
  {
    LoadedOutput maker("Other Machine ");
    maker.setCache(true);
    host::OwnedFormatList list;
    ASSERT_TRUE(maker.queryFormats(&list));
  }
  std::string kept = readFile(home.file());
  // Root writes through permission bits, so make the file immutable where the file system
  // allows it, and fall back to permission bits otherwise.
  bool immutable = std::system(("chattr +i '" + home.file() + "' 2>/dev/null").c_str()) == 0;
  if (!immutable) {
    ASSERT_EQ(chmod(home.file().c_str(), 0444), 0);
    if (geteuid() == 0) GTEST_SKIP() << "running as root without chattr: the file cannot be made read-only";
  }
  EXPECT_FALSE(queryOnce());  // a new machine needs a write
  EXPECT_EQ(readFile(home.file()), kept);
  EXPECT_NE(readFile(log).find("SQLITE ERROR"), std::string::npos);
}

}  // namespace
