// What a test program runs against: this project's POSIX stand-ins of the Windows calls, or
// Windows itself (on Windows, or under Wine in CI). The one place in the tests that asks.
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif

namespace testsupport {

// True when the Windows calls are answered by Windows itself rather than by the stand-ins.
#ifdef _WIN32
constexpr bool kRealWindows = true;
#else
constexpr bool kRealWindows = false;
#endif

// True under Wine, whose GDI departs from documented GDI in a few answers; tests skip those
// cases there and say what each does. Wine's ntdll exports its version; Windows' does not.
inline bool runningUnderWine() {
#ifdef _WIN32
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

}  // namespace testsupport
