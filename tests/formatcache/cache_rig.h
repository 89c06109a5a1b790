// A loaded plug-in with an engine context whose format-cache setting the test switches, a
// private application-data folder, and direct access to the cache file to arrange and inspect
// its rows.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "engine/engine_component.h"
#include "engine/engine_context.h"
#include "engine/library_loader.h"
#include "engine/plugin_host.h"
#include "framework/interfaces.h"
#include "framework/plugin.h"

namespace cachetest {

// A fresh application-data folder per test; the wall clock of the plug-in follows
// TAVORIN_FIXED_TIME.
class TempDataHome {
 public:
  TempDataHome() {
    char pattern[] = "/tmp/tavorin-cache-XXXXXX";
    path_ = mkdtemp(pattern);
    setenv("XDG_DATA_HOME", path_.c_str(), 1);
  }
  ~TempDataHome() {
    unsetenv("TAVORIN_FIXED_TIME");
    std::string command = "chattr -i -R '" + path_ + "' 2>/dev/null; rm -rf '" + path_ + "'";
    if (std::system(command.c_str()) != 0) {
    }
  }
  const std::string& path() const { return path_; }
  std::string folder() const { return path_ + "/Kestra/Kestra Media Core/v3.1"; }
  std::string file() const { return folder() + "/Hardware Cache"; }

 private:
  std::string path_;
};

inline void setWallClock(int64_t secondsSince1970) {
  setenv("TAVORIN_FIXED_TIME", std::to_string(secondsSince1970).c_str(), 1);
}

// One row of a query as text columns.
typedef std::vector<std::string> Row;

// Runs sql on the cache file with a connection of the test's own.
inline std::vector<Row> query(const std::string& file, const std::string& sql) {
  std::vector<Row> rows;
  sqlite3* db = nullptr;
  if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) {
    sqlite3_close(db);
    ADD_FAILURE() << "cannot open " << file;
    return rows;
  }
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
    sqlite3_close(db);
    return rows;
  }
  while (sqlite3_step(statement) == SQLITE_ROW) {
    Row row;
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      const unsigned char* text = sqlite3_column_text(statement, i);
      row.push_back(text ? reinterpret_cast<const char*>(text) : "NULL");
    }
    rows.push_back(row);
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return rows;
}

inline void execute(const std::string& file, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The plug-in as the engine holds it before create.
class LoadedOutput {
 public:
  explicit LoadedOutput(const char* machineName = "Test Machine ")
      : library_(host::defaultPluginPath()), engine_(machineName) {
    engine_.open(library_, &host_);
  }
  bool ok() const { return component() != nullptr; }
  KMC::ComponentInterface* component() const { return engine_.component(); }
  host::EngineContext& context() { return context_; }
  void setCache(bool on) { context_.setSetting("VideoDriver|FormatCache", "Enabled", on ? 1 : 0); }
  // A query as the engine asks it: video (1, 2) with flag 1.
  bool queryFormats(KMC::FormatList* out, int32_t kind = 1, int32_t subkind = 2, int32_t flag = 1) {
    return component()->queryFormats(&context_, kind, subkind, flag, out);
  }

 private:
  host::LibraryLoader library_;
  host::RecordingPluginHost host_;
  host::EngineContext context_;
  host::EngineComponent engine_;  // released before the context and host it was given
};

inline std::string code(const KMC::FormatDescriptor& descriptor) {
  return std::string(descriptor.fourCC, strnlen(descriptor.fourCC, sizeof descriptor.fourCC));
}

}  // namespace cachetest
