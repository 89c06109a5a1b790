// Helpers of the database tests: a temporary folder, a log file the logging library stand-in
// writes to, and environment variables restored after a test.
#pragma once

#include <sqlite3.h>
#include <stdlib.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

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
#ifdef _WIN32
  TempDir() {
    static unsigned serial = 0;
    char base[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof base, base);
    std::string prefix = std::string(base, n) + "tavorin-db-" + std::to_string(GetCurrentProcessId()) + "-";
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      std::string candidate = prefix + std::to_string(++serial);
      if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate;
    }
  }
  ~TempDir() {
    if (path_.empty()) return;
    // Double zero-terminated, as SHFileOperation wants; FOF_NO_UI: no questions, no progress.
    std::string from = path_ + std::string(2, '\0');
    SHFILEOPSTRUCTA operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    if (SHFileOperationA(&operation) != 0) std::fprintf(stderr, "could not remove %s\n", path_.c_str());
  }
#else
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
#endif
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
    set(name, value);
  }
  ~EnvGuard() { set(name_.c_str(), hadOld_ ? old_.c_str() : nullptr); }

 private:
  std::string name_;
  std::string old_;
  bool hadOld_;

  static void set(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value ? value : "");  // an empty value removes the variable
#else
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
#endif
  }
};

// Loads the logging library stand-in from the build's lib folder once, so that the logger's
// load by bare name finds it already in the process. Needed under the address sanitizer, whose
// dlopen interceptor makes the loader search from the sanitizer runtime rather than from the
// test program, so the program's run path is not used.
// On Windows the test programs sit beside KMC_Logging.dll, where the loader looks first.
#ifdef _WIN32
inline bool preloadLoggingLibrary() {
  static HMODULE const library = LoadLibraryA("KMC_Logging.dll");
  return library != nullptr;
}
inline std::string loaderError() { return "LoadLibrary failed with error " + std::to_string(GetLastError()); }
#else
inline bool preloadLoggingLibrary() {
  static void* const library = dlopen(TAVORIN_BUILD_LIB_DIR "/libKMC_Logging.so", RTLD_NOW | RTLD_GLOBAL);
  return library != nullptr;
}
inline std::string loaderError() {
  const char* message = dlerror();
  return message ? message : "";
}
#endif

// Points KMC_LOG_FILE at a file of its own folder; lines() reads the records written so far.
class LogCapture {
 public:
  LogCapture() : file_(dir_.file("records.log")), env_("KMC_LOG_FILE", file_.c_str()) {
    EXPECT_TRUE(preloadLoggingLibrary()) << loaderError();
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
