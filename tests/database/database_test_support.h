// Helpers of the database tests: a log file the logging library stand-in writes to, and raw
// engine calls to arrange and inspect a database.
#pragma once

#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "database/database.h"
#include "support/environment_guard.h"
#include "support/logging_library.h"
#include "support/temp_folder.h"

namespace dbtest {

// Points KMC_LOG_FILE at a file of its own folder; lines() reads the records written so far.
class LogCapture {
 public:
  LogCapture() : file_(dir_.file("records.log")), env_("KMC_LOG_FILE", file_.c_str()) {
    EXPECT_TRUE(testsupport::preloadLoggingLibrary()) << testsupport::loaderError();
  }
  std::vector<std::string> lines() const {
    std::vector<std::string> out;
    std::ifstream in(file_);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }

 private:
  testsupport::TempFolder dir_;
  std::string file_;
  testsupport::EnvironmentGuard env_;
};

// The record line the logging library stand-in writes for an engine error.
inline std::string sqliteRecord(const char* tag, int line, int code, const std::string& message) {
  return std::string("Cache|") + tag + "|" + std::to_string(line) + "|SQLITE ERROR: " + std::to_string(code) +
         "\\n" + message;
}

// Runs sql on a raw engine connection, failing the test when the engine refuses.
inline void rawExec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  int result = sqlite3_exec(db, sql, nullptr, nullptr, &error);
  EXPECT_EQ(SQLITE_OK, result) << sql << ": " << (error ? error : "");
  sqlite3_free(error);
}

// One integer from a query on the raw connection.
inline int64_t rawInt(sqlite3* db, const char* sql) {
  sqlite3_stmt* statement = nullptr;
  int64_t value = -1;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW) {
    value = sqlite3_column_int64(statement, 0);
  }
  sqlite3_finalize(statement);
  return value;
}

}  // namespace dbtest
