// The logging library stand-in, loaded by the test program before the code under test asks
// for it.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <string>

namespace testsupport {

// Loads the logging library stand-in from the build's lib folder once, so that the logger's
// load by bare name finds it already in the process. Needed under the address sanitizer, whose
// dlopen interceptor makes the loader search from the sanitizer runtime rather than from the
// test program, so the program's run path is not used.
// On Windows the test programs sit beside KMC_Logging.dll, where the loader looks first.
#ifdef _WIN32
inline bool preloadLoggingLibrary() {
  static HMODULE const library = LoadLibraryA("KMC_Logging.dll");
  return library != nullptr;
}
inline std::string loaderError() { return "LoadLibrary failed with error " + std::to_string(GetLastError()); }
#else
inline bool preloadLoggingLibrary() {
  static void* const library = dlopen(TAVORIN_BUILD_LIB_DIR "/libKMC_Logging.so", RTLD_NOW | RTLD_GLOBAL);
  return library != nullptr;
}
inline std::string loaderError() {
  const char* message = dlerror();
  return message ? message : "";
}
#endif

}  // namespace testsupport
