// An output (of the loaded plug-in, or built in this process where the test fixes the wall
// clock) with an engine context whose format-cache setting the test switches, a private
// application-data folder, and direct access to the cache file to arrange and inspect its rows.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "engine/engine_component.h"
#include "engine/engine_context.h"
#include "engine/engine_values.h"
#include "engine/library_loader.h"
#include "engine/plugin_host.h"
#include "framework/identifiers.h"
#include "abi/interfaces.h"
#include "abi/plugin.h"
#include "gdi/tavorin.h"
#include "platform/win32.h"
#include "support/environment_guard.h"
#include "support/temp_folder.h"

namespace cachetest {

// The wall clock of the outputs built in this process (InProcessOutput), in seconds since
// 1970, until the test's TempDataHome goes.
inline std::atomic<int64_t>& fixedWallClock() {
  static std::atomic<int64_t> seconds{0};
  return seconds;
}
inline void setWallClock(int64_t secondsSince1970) {
  fixedWallClock().store(secondsSince1970);
  platform_testing::setWallClock([]() -> __time64_t { return fixedWallClock().load(); });
}

// A fresh application-data folder per test; the wall clock is the real one again afterwards.
class TempDataHome {
 public:
  TempDataHome() : folder_("tavorin-cache"), dataHome_("XDG_DATA_HOME", folder_.path().c_str()) {}
  ~TempDataHome() {
    platform_testing::setWallClock(nullptr);
    // A test may leave the cache file immutable; lift that so the folder can go.
    std::string command = "chattr -i -R '" + path() + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) {
    }
  }
  const std::string& path() const { return folder_.path(); }
  std::string folder() const { return path() + "/Kestra/Kestra Media Core/v3.1"; }
  std::string file() const { return folder() + "/Hardware Cache"; }

 private:
  testsupport::TempFolder folder_;
  testsupport::EnvironmentGuard dataHome_;
};

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

// An output as the engine holds it before create, with an engine context of its own.
class OutputHold {
 public:
  virtual ~OutputHold() {}
  virtual KMC::ComponentInterface* component() const = 0;
  bool ok() const { return component() != nullptr; }
  host::EngineContext& context() { return context_; }
  void setCache(bool on) { context_.setSetting("VideoDriver|FormatCache", "Enabled", on ? 1 : 0); }
  // A query as the engine asks it: video (1, 2) with flag 1.
  bool queryFormats(host::OwnedFormatList* out, int32_t kind = 1, int32_t subkind = 2, int32_t flag = 1) {
    return component()->queryFormats(&context_, kind, subkind, flag, out->get());
  }

 protected:
  host::RecordingPluginHost host_;
  host::EngineContext context_;
};

// The output of the loaded plug-in, reached only through the exported entry.
class LoadedOutput : public OutputHold {
 public:
  explicit LoadedOutput(const char* machineName = "Test Machine ")
      : library_(host::defaultPluginPath()), engine_(machineName) {
    engine_.open(library_, &host_);
  }
  KMC::ComponentInterface* component() const override { return engine_.component(); }

 private:
  host::LibraryLoader library_;
  host::EngineComponent engine_;  // released before the context and host it was given
};

// The same component built in this process, whose wall clock setWallClock fixes: the loaded
// plug-in keeps a clock of its own that a test cannot reach.
class InProcessOutput : public OutputHold {
 public:
  explicit InProcessOutput(const char* machineName = "Test Machine ")
      : descriptor_{KMC::NarrowString(machineName, &KMC::StandardAllocator<char>::instance())},
        plugin_(new KMC::Tavorin(&host_)) {
    plugin_->setDescriptor(&descriptor_);
    void* found = nullptr;
    if (plugin_->queryInterface(KMC::kComponentInterfaceId, &found) == KMC::kResultOk) {
      component_ = static_cast<KMC::ComponentInterface*>(found);
    }
  }
  ~InProcessOutput() override {
    while (plugin_->releaseReference() > 0) {
    }
  }
  KMC::ComponentInterface* component() const override { return component_; }

 private:
  KMC::PluginDescriptor descriptor_;  // outlives the component, which keeps a pointer to it
  KMC::Plugin* plugin_;
  KMC::ComponentInterface* component_ = nullptr;
};

inline std::string code(const KMC::FormatDescriptor& descriptor) {
  return std::string(descriptor.fourCC, strnlen(descriptor.fourCC, sizeof descriptor.fourCC));
}

}  // namespace cachetest
