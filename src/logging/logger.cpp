#include "logging/logger.h"

#include <new>

#include "logging/logger_impl.h"
#include "platform/win32.h"

namespace KMC {

namespace {
// The logger and its loaded library live in static storage and are never destroyed: the
// logging library stays loaded while this library is, and nothing is left on the heap when
// the engine unloads this library.
alignas(Logger) unsigned char g_loggerStorage[sizeof(Logger)];
alignas(LoggerImpl) unsigned char g_implStorage[sizeof(LoggerImpl)];

// An exported function of the library as the function type the caller knows it by. The detour
// through a function type without parameters keeps GCC's -Wcast-function-type quiet about
// FARPROC, whose own signature means nothing.
template <typename Function>
Function entry(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
}  // namespace

LoggerImpl* LoggerImpl::load() {
  HMODULE module = LoadLibraryW(L"KMC_Logging.dll");
  if (!module) return nullptr;
  LoggerImpl* impl = new (g_implStorage) LoggerImpl();
  impl->module = module;
  impl->configure = entry<ConfigureFunction>(module, "KMCLog_configure");
  if (impl->configure) impl->close = entry<CloseFunction>(module, "KMCLog_close");
  if (impl->close) impl->isEnabled = entry<IsEnabledFunction>(module, "KMCLog_isEnabled");
  if (impl->isEnabled) impl->write = entry<WriteFunction>(module, "KMCLog_write");
  if (!impl->write) {
    impl->~LoggerImpl();  // frees the library and forgets the entry points found so far
    return nullptr;
  }
  return impl;
}

LoggerImpl::~LoggerImpl() {
  configure = nullptr;
  close = nullptr;
  isEnabled = nullptr;
  write = nullptr;
  if (module) FreeLibrary(static_cast<HMODULE>(module));
  module = nullptr;
}

Logger::Logger() : impl_(LoggerImpl::load()) {}

Logger::~Logger() {
  if (impl_ && impl_->close) impl_->close();
  if (impl_) impl_->~LoggerImpl();
}

Logger* Logger::instance() {
  // Built once, on first use, by whichever thread comes first (a thread-safe static); never
  // destroyed, so KMCLog_close is not called while the process runs.
  static Logger* const instance = new (g_loggerStorage) Logger();
  return instance;
}

void Logger::write(Logger* logger, const char* category, const char* tag, int line, const char* format, ...) {
  if (!logger || !logger->impl_) return;
  if (!logger->impl_->isEnabled()) return;
  va_list arguments;
  va_start(arguments, format);
  logger->impl_->write(category, tag, line, format, &arguments);
  va_end(arguments);
}

}  // namespace KMC
