// Helpers of the database tests: a temporary folder, a log file the logging library stand-in
// writes to, and environment variables restored after a test.
#pragma once

#include <dlfcn.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "database/database.h"

namespace dbtest {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it at the end.
class TempDir {
 public:
  TempDir() {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tavorin-db-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    path_ = mkdtemp(buffer.data()) ? buffer.data() : "";
  }
  ~TempDir() {
    if (!path_.empty()) {
      std::string command = "rm -rf '" + path_ + "'";
      if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", path_.c_str());
    }
  }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Sets (or with null unsets) an environment variable for the life of the guard.
class EnvGuard {
 public:
  EnvGuard(const char* name, const char* value) : name_(name) {
    const char* old = getenv(name);
    hadOld_ = old != nullptr;
    if (old) old_ = old;
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~EnvGuard() {
    if (hadOld_) {
      setenv(name_.c_str(), old_.c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }

 private:
  std::string name_;
  std::string old_;
  bool hadOld_;
};

// Loads the logging library stand-in from the build's lib folder once, so that the logger's
// load by bare name finds it already in the process. Needed under the address sanitizer, whose
// dlopen interceptor makes the loader search from the sanitizer runtime rather than from the
// test program, so the program's run path is not used.
inline bool preloadLoggingLibrary() {
  static void* const library = dlopen(TAVORIN_BUILD_LIB_DIR "/libKMC_Logging.so", RTLD_NOW | RTLD_GLOBAL);
  return library != nullptr;
}

// Points KMC_LOG_FILE at a file of its own folder; lines() reads the records written so far.
class LogCapture {
 public:
  LogCapture() : file_(dir_.file("records.log")), env_("KMC_LOG_FILE", file_.c_str()) {
    EXPECT_TRUE(preloadLoggingLibrary()) << dlerror();
  }
  std::vector<std::string> lines() const {
    std::vector<std::string> out;
    std::ifstream in(file_);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }

 private:
  TempDir dir_;
  std::string file_;
  EnvGuard env_;
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
