// The logger against the real logging library stand-in and against variants built beside
// this test, each run in a process of its own (the logger loads its library once per process).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "support/temp_folder.h"

namespace {

struct ProbeRun {
  std::string output;  // what the probe printed
  std::string log;     // what the library wrote
};

// Runs the probe with the logging library searched only in libraryFolder.
ProbeRun runProbe(const std::string& libraryFolder) {
  testsupport::TempFolder folder("tavorin-log");
  const std::string logPath = folder.file("log.txt");
  std::string command = "KMC_LOG_FILE='" + logPath + "' LD_LIBRARY_PATH='" + libraryFolder +
                        "' '" LOGGER_PROBE "'";
  ProbeRun run;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) run.output += buffer;
    EXPECT_EQ(pclose(pipe), 0);
  }
  std::ifstream in(logPath);
  run.log.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return run;
}

TEST(Logger, WritesRecordsWithCategoryTagLineAndFormattedMessage) {
  ProbeRun run = runProbe(LIBRARY_FOLDER);
  EXPECT_EQ(run.output, "loaded=1 same=1\n");
  EXPECT_EQ(run.log,
            "Rendering|KMC::VideoOutput<class KMC::Tavorin>::create|1034|Video Renderer Creation\n"
            "Cache|KSDSOLD::Database::ExecSQL|826|SQLITE ERROR: 26\\nfile is not a database\n");
}

TEST(Logger, WithoutTheLibraryLoggingIsOffAndNothingElseChanges) {
  ProbeRun run = runProbe(EMPTY_FOLDER);
  EXPECT_EQ(run.output, "loaded=0 same=1\n");
  EXPECT_EQ(run.log, "");
}

TEST(Logger, ALibraryWithoutConfigureSwitchesLoggingOff) {
  ProbeRun run = runProbe(NO_CONFIGURE_FOLDER);
  EXPECT_EQ(run.output, "loaded=0 same=1\n");
  EXPECT_EQ(run.log, "");  // not even asked whether it is enabled
}

TEST(Logger, AskedBeforeEveryRecordAndSilentWhenDisabled) {
  ProbeRun run = runProbe(DISABLED_FOLDER);
  EXPECT_EQ(run.output, "loaded=1 same=1\n");
  EXPECT_EQ(run.log, "isEnabled\nisEnabled\n");  // configure, close and write never called
}

}  // namespace
