#include "logging/logger.h"

#include <new>

#include "logging/logger_impl.h"
#include "platform/win32.h"

namespace KMC {

namespace {
Logger* g_instance = nullptr;

// An exported function of the library as the function type the caller knows it by. The detour
// through a function type without parameters keeps GCC's -Wcast-function-type quiet about
// FARPROC, whose own signature means nothing.
template <typename Function>
Function entry(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
}  // namespace

LoggerImpl* LoggerImpl::load() {
  LoggerImpl* impl = new (std::nothrow) LoggerImpl();
  if (!impl) return nullptr;
  HMODULE module = LoadLibraryW(L"KMC_Logging.dll");
  if (!module) {
    delete impl;
    return nullptr;
  }
  impl->module = module;
  impl->configure = entry<ConfigureFunction>(module, "KMCLog_configure");
  if (impl->configure) impl->close = entry<CloseFunction>(module, "KMCLog_close");
  if (impl->close) impl->isEnabled = entry<IsEnabledFunction>(module, "KMCLog_isEnabled");
  if (impl->isEnabled) impl->write = entry<WriteFunction>(module, "KMCLog_write");
  if (!impl->write) {
    delete impl;  // frees the library and forgets the entry points found so far
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
  delete impl_;
}

Logger* Logger::instance() {
  // Created on first use without a lock: the first use is the output's create record, written
  // on the engine thread before any thread of the output exists.
  if (!g_instance) g_instance = new (std::nothrow) Logger();
  return g_instance;
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
