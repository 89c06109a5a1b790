// Variants of the engine's logging library, built beside the logging test: one without
// KMCLog_configure, one whose KMCLog_isEnabled answers false. Both note every call in the
// file named by KMC_LOG_FILE, so the test sees what the logger called.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {
void note(const char* what) {
  if (const char* path = std::getenv("KMC_LOG_FILE")) {
    if (FILE* file = std::fopen(path, "a")) {
      std::fprintf(file, "%s\n", what);
      std::fclose(file);
    }
  }
}
}  // namespace

#ifndef WITHOUT_CONFIGURE
EXPORT void KMCLog_configure() { note("configure"); }
#endif
EXPORT void KMCLog_close() { note("close"); }
EXPORT unsigned char KMCLog_isEnabled() {
  note("isEnabled");
#ifdef DISABLED
  return 0;
#else
  return 1;
#endif
}
EXPORT void KMCLog_write(const char*, const char*, int, const char*, va_list*) { note("write"); }
