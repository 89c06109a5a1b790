// Runs the player program as a user does and reads back its exit status, its output and the
// fields of its REPORT and STREAM lines.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace {

typedef std::map<std::string, std::string> ReportFields;

// The key=value pairs of a line after its leading word.
inline ReportFields parseFields(const std::string& line) {
  ReportFields fields;
  std::istringstream words(line);
  std::string field;
  words >> field;  // the line's name
  while (words >> field) {
    size_t equals = field.find('=');
    if (equals != std::string::npos) fields[field.substr(0, equals)] = field.substr(equals + 1);
  }
  return fields;
}

inline long long fieldCount(const ReportFields& fields, const char* key) {
  auto found = fields.find(key);
  return found == fields.end() ? -1 : std::stoll(found->second);
}

struct PlayerRun {
  int exitCode = -1;
  std::string out;
  std::string err;
  ReportFields report;                // the REPORT line's fields
  std::vector<ReportFields> streams;  // each STREAM line's fields, in channel order
  long long count(const char* key) const { return fieldCount(report, key); }
};

inline std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs the player with args; display empty means off-screen (DISPLAY unset).
// whilePlaying runs once the program has started.
template <typename WhilePlaying>
PlayerRun runPlayer(const std::string& args, const std::string& display, WhilePlaying whilePlaying) {
  // The run's own folder: its error output and the player's data folder (format cache).
  testsupport::TempFolder folder("tavorin-play-run");
  std::string errPath = folder.file("stderr.txt");
  std::string command = std::string("env -u KMC_LOG_FILE ") + (display.empty() ? "-u DISPLAY " : "DISPLAY=" + display + " ") +
                        "XDG_DATA_HOME='" + folder.path() + "' " + TAVORIN_PLAY_PROGRAM + " " + args + " 2>'" + errPath + "'";
  PlayerRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  whilePlaying();
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.err = slurp(errPath);
  std::remove(errPath.c_str());
  std::istringstream lines(run.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.compare(0, 7, "REPORT ") == 0) run.report = parseFields(line);
    if (line.compare(0, 7, "STREAM ") == 0) run.streams.push_back(parseFields(line));
  }
  return run;
}

inline PlayerRun runPlayer(const std::string& args, const std::string& display = "") {
  return runPlayer(args, display, [] {});
}

}  // namespace
