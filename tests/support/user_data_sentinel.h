// Keeps every test program away from the user's own files.
//
// The per-user data folder (where the format cache and the application database live) is found
// through HOME and XDG_DATA_HOME. For the whole program both point into a fresh, empty sentinel
// folder; a test that needs a data folder makes its own (TempFolder with an EnvironmentGuard).
// When the program ends, anything found under the sentinel was written by code that would have
// written into the real home folder of whoever ran the tests: the program fails and names it.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "support/environment_guard.h"
#include "support/temp_folder.h"

namespace testsupport {

class UserDataSentinel : public ::testing::Environment {
 public:
  void SetUp() override {
#ifndef _WIN32  // on Windows the folder comes from the shell, not from the environment
    folder_.reset(new TempFolder("tavorin-sentinel-home"));
    if (folder_->path().empty()) {
      ADD_FAILURE() << "no sentinel folder could be made";
      return;
    }
    home_.reset(new EnvironmentGuard("HOME", folder_->path().c_str()));
    dataHome_.reset(new EnvironmentGuard("XDG_DATA_HOME", folder_->file("data").c_str()));
#endif
  }

  void TearDown() override {
    if (!folder_ || folder_->path().empty()) return;
    const std::string written = listFiles(folder_->path());
    EXPECT_TRUE(written.empty()) << "written into the user's home or data folder (HOME and XDG_DATA_HOME "
                                    "pointed at a sentinel folder):\n"
                                 << written;
    dataHome_.reset();
    home_.reset();
    folder_.reset();
  }

 private:
  // Every entry below folder, one path a line; empty when there is none.
  static std::string listFiles(const std::string& folder) {
    std::string command = "find '" + folder + "' -mindepth 1 2>/dev/null";
    std::string out;
#ifndef _WIN32
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char buffer[512];
      while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
      pclose(pipe);
    }
#endif
    return out;
  }

  std::unique_ptr<TempFolder> folder_;
  std::unique_ptr<EnvironmentGuard> home_;
  std::unique_ptr<EnvironmentGuard> dataHome_;
};

}  // namespace testsupport
