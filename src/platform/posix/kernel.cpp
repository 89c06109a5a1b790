#ifdef _WIN32
#error "posix/kernel.cpp is the POSIX platform layer"
#endif
#include "platform/posix/kernel.h"
#include "platform/utf8.h"

#include <dlfcn.h>
#include <errno.h>
#include <sys/resource.h>
#include <sched.h>
#include <strings.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::atomic<platform_testing::MillisecondCounter> g_counter{nullptr};
std::atomic<platform_testing::WallClock> g_wallClock{nullptr};
std::atomic<platform_testing::SleepHook> g_sleepHook{nullptr};
std::atomic<int> g_periodRequests{0};

thread_local int t_priority = THREAD_PRIORITY_NORMAL;
thread_local DWORD t_lastError = 0;

// Windows priority -> nice value. Lowering priority is always allowed; raising it needs
// privileges, and a refusal only leaves the nice value as it was (the record still changes,
// as the Windows call would succeed for a process with the right).
int niceFor(int priority) {
  switch (priority) {
    case THREAD_PRIORITY_IDLE: return 19;
    case THREAD_PRIORITY_LOWEST: return 10;
    case THREAD_PRIORITY_BELOW_NORMAL: return 5;
    case THREAD_PRIORITY_NORMAL: return 0;
    case THREAD_PRIORITY_ABOVE_NORMAL: return -5;
    case THREAD_PRIORITY_HIGHEST: return -10;
    case THREAD_PRIORITY_TIME_CRITICAL: return -15;
    default: return 0;
  }
}

bool isValidPriority(int priority) {
  switch (priority) {
    case THREAD_PRIORITY_IDLE:
    case THREAD_PRIORITY_LOWEST:
    case THREAD_PRIORITY_BELOW_NORMAL:
    case THREAD_PRIORITY_NORMAL:
    case THREAD_PRIORITY_ABOVE_NORMAL:
    case THREAD_PRIORITY_HIGHEST:
    case THREAD_PRIORITY_TIME_CRITICAL:
      return true;
    default:
      return false;
  }
}

std::string narrow(LPCWSTR text) {
  std::string out;
  for (; text && *text; ++text) platform::appendUtf8(out, static_cast<uint32_t>(*text));
  return out;
}

}  // namespace

void Sleep(DWORD milliseconds) {
  if (platform_testing::SleepHook hook = g_sleepHook.load()) {
    hook(milliseconds);
    return;
  }
  struct timespec request;
  request.tv_sec = milliseconds / 1000;
  request.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  while (nanosleep(&request, &request) == -1 && errno == EINTR) {
  }
}

HANDLE GetCurrentThread() { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2)); }

int GetThreadPriority(HANDLE thread) {
  if (thread != GetCurrentThread()) return THREAD_PRIORITY_ERROR_RETURN;
  return t_priority;
}

BOOL SetThreadPriority(HANDLE thread, int priority) {
  if (thread != GetCurrentThread() || !isValidPriority(priority)) {
    t_lastError = 87;  // ERROR_INVALID_PARAMETER
    return FALSE;
  }
  t_priority = priority;
  // On Linux a nice value applies to one thread when given its thread id.
  pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), niceFor(priority));  // best effort
  return TRUE;
}

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD error) { t_lastError = error; }

DWORD timeGetTime() {
  if (platform_testing::MillisecondCounter counter = g_counter.load()) return counter();
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<DWORD>(ms);
}

UINT timeBeginPeriod(UINT period) {
  if (period == 0) return TIMERR_NOCANDO;
  ++g_periodRequests;
  return TIMERR_NOERROR;
}

UINT timeEndPeriod(UINT period) {
  if (period == 0) return TIMERR_NOCANDO;
  int expected = g_periodRequests.load();
  while (expected > 0 && !g_periodRequests.compare_exchange_weak(expected, expected - 1)) {
  }
  return expected > 0 ? TIMERR_NOERROR : TIMERR_NOCANDO;
}

__time64_t _time64(__time64_t* out) {
  __time64_t now;
  if (platform_testing::WallClock clock = g_wallClock.load()) {
    now = clock();
  } else {
    now = static_cast<__time64_t>(std::time(nullptr));
  }
  if (out) *out = now;
  return now;
}

struct tm* _gmtime64(const __time64_t* time) {
  static thread_local struct tm result;
  if (!time || *time < 0) return nullptr;
  time_t t = static_cast<time_t>(*time);
  if (!gmtime_r(&t, &result)) return nullptr;
  return &result;
}

HMODULE LoadLibraryW(LPCWSTR fileName) {
  std::string name = narrow(fileName);
  if (name.empty()) return nullptr;
  // "X.dll" without a folder -> "libX.so", found through the loader's search path.
  const std::string dll = ".dll";
  bool bare = name.find('/') == std::string::npos;
  if (bare && name.size() > dll.size() &&
      strcasecmp(name.c_str() + name.size() - dll.size(), dll.c_str()) == 0) {
    name = "lib" + name.substr(0, name.size() - dll.size()) + ".so";
  }
  void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle && bare) {
    // The loader searches beside the calling library through its $ORIGIN run path, but it
    // takes the caller from the return address, and an interposed dlopen (a sanitizer's, for
    // one) hides the caller. Look beside the module that holds this code explicitly.
    Dl_info self;
    if (dladdr(reinterpret_cast<void*>(&LoadLibraryW), &self) && self.dli_fname) {
      std::string folder(self.dli_fname);
      size_t slash = folder.rfind('/');
      if (slash != std::string::npos) handle = dlopen((folder.substr(0, slash + 1) + name).c_str(), RTLD_NOW | RTLD_LOCAL);
    }
  }
  if (!handle) t_lastError = 126;  // ERROR_MOD_NOT_FOUND
  return handle;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  if (!module || !name) return nullptr;
  void* symbol = dlsym(module, name);
  if (!symbol) t_lastError = 127;  // ERROR_PROC_NOT_FOUND
  return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module) {
  if (!module) return FALSE;
  return dlclose(module) == 0 ? TRUE : FALSE;
}

namespace platform_testing {
void setMillisecondCounter(MillisecondCounter counter) { g_counter = counter; }
void setWallClock(WallClock clock) { g_wallClock = clock; }
void setSleepHook(SleepHook hook) { g_sleepHook = hook; }
int timerPeriodRequests() { return g_periodRequests.load(); }
}  // namespace platform_testing
