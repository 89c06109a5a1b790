// A fresh folder for one test (or benchmark), removed with everything in it at the end.
#pragma once

#include <stdlib.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <string>
#include <vector>

namespace testsupport {

// Made under the system's temporary folder ($TMPDIR or /tmp on POSIX) with a name starting
// with prefix. path() is empty when no folder could be made.
class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix = "tavorin-test") {
#ifdef _WIN32
    static unsigned serial = 0;
    char base[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof base, base);
    std::string stem = std::string(base, n) + prefix + "-" + std::to_string(GetCurrentProcessId()) + "-";
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      std::string candidate = stem + std::to_string(++serial);
      if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate;
    }
#else
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    path_ = mkdtemp(buffer.data()) ? buffer.data() : "";
#endif
  }
  ~TempFolder() {
    if (path_.empty()) return;
#ifdef _WIN32
    // Double zero-terminated, as SHFileOperation wants; FOF_NO_UI: no questions, no progress.
    std::string from = path_ + std::string(2, '\0');
    SHFILEOPSTRUCTA operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    bool removed = SHFileOperationA(&operation) == 0;
#else
    std::string command = "rm -rf '" + path_ + "'";
    bool removed = std::system(command.c_str()) == 0;
#endif
    if (!removed) std::fprintf(stderr, "could not remove %s\n", path_.c_str());
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace testsupport
