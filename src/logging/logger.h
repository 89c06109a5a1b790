// The bridge to the engine's logging library "KMC_Logging.dll", loaded on first use.
//
// When the library or one of its four entry points is missing, logging is off for the life of
// the process and nothing else depends on it. Records carry a category, the qualified function
// name as tag, the source line and a printf-style message; there are no levels.
#pragma once

#include <cstdarg>

namespace KMC {

class LoggerImpl;

class Logger {
 public:
  // The process-wide logger, created (and the library loaded) on the first call. It lives in
  // static storage, so it is never null and never destroyed.
  static Logger* instance();

  // Writes one record when logger is non-null, the library loaded and KMCLog_isEnabled true.
  static void write(Logger* logger, const char* category, const char* tag, int line,
                    const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 5, 6)))
#endif
      ;

  virtual ~Logger();
  // Whether the logging library and all four entry points were found.
  bool isLoaded() const { return impl_ != nullptr; }

 private:
  Logger();
  LoggerImpl* impl_;  // null when loading failed
};

}  // namespace KMC
