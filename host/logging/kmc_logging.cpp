// Stand-in of the engine's logging library. Records go to the file named by KMC_LOG_FILE, one
// line each: "category|tag|line|message" with line feeds in the message written as "\n";
// logging is off when KMC_LOG_FILE is unset.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#if defined(_WIN32)
#define KMC_LOG_EXPORT extern "C" __declspec(dllexport)
#else
#define KMC_LOG_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {
std::mutex g_lock;

const char* logFile() {
  const char* path = std::getenv("KMC_LOG_FILE");
  return (path && *path) ? path : nullptr;
}
}  // namespace

KMC_LOG_EXPORT void KMCLog_configure() {}

KMC_LOG_EXPORT void KMCLog_close() {}

KMC_LOG_EXPORT unsigned char KMCLog_isEnabled() { return logFile() ? 1 : 0; }

KMC_LOG_EXPORT void KMCLog_write(const char* category, const char* tag, int line, const char* format,
                                 va_list* arguments) {
  const char* path = logFile();
  if (!path || !format) return;
  char message[4096];
  va_list copy;
  va_copy(copy, *arguments);
  std::vsnprintf(message, sizeof message, format, copy);
  va_end(copy);
  std::string escaped;
  for (const char* c = message; *c; ++c) {
    if (*c == '\n') {
      escaped += "\\n";
    } else if (*c == '\\') {
      escaped += "\\\\";
    } else {
      escaped += *c;
    }
  }
  std::lock_guard<std::mutex> guard(g_lock);
  FILE* file = std::fopen(path, "a");
  if (!file) return;
  std::fprintf(file, "%s|%s|%d|%s\n", category ? category : "", tag ? tag : "", line, escaped.c_str());
  std::fclose(file);
}
