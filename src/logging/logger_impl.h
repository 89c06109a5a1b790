// A loaded logging library with its four entry points.
#pragma once

#include <cstdarg>

namespace KMC {

class LoggerImpl {
 public:
  typedef void (*ConfigureFunction)();
  typedef void (*CloseFunction)();
  typedef unsigned char (*IsEnabledFunction)();
  typedef void (*WriteFunction)(const char* category, const char* tag, int line, const char* format,
                                va_list* arguments);

  // Loads the library by bare file name and resolves the four entry points in order; answers
  // null (nothing kept loaded) when the library or any entry point is missing.
  static LoggerImpl* load();
  virtual ~LoggerImpl();

  void* module = nullptr;
  ConfigureFunction configure = nullptr;  // looked up, never called
  CloseFunction close = nullptr;
  IsEnabledFunction isEnabled = nullptr;
  WriteFunction write = nullptr;

 private:
  LoggerImpl() {}
};

}  // namespace KMC
