#ifndef _WIN32
#error "Windows library loading"
#endif
#include <windows.h>

#include <cstdlib>

#include "engine/library_loader.h"
#include "engine/windows/drawing_counter.h"

namespace host {

LibraryLoader::LibraryLoader(const std::string& path) : module_(nullptr) {
  module_ = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
  if (!module_) {
    error_ = "LoadLibrary failed with error " + std::to_string(GetLastError());
    return;
  }
  // The engine's windows count what the plug-in draws into them (HostWindow::generation).
  windows::countDrawingsOf(static_cast<HMODULE>(module_));
}

LibraryLoader::~LibraryLoader() {
  if (module_) FreeLibrary(static_cast<HMODULE>(module_));
}

void* LibraryLoader::symbol(const char* name) {
  if (!module_) return nullptr;
  void (*address)() = reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(module_), name));
  if (!address) error_ = std::string("no export ") + name;
  return reinterpret_cast<void*>(address);
}

std::string defaultPluginPath() {
  if (const char* configured = std::getenv("TAVORIN_PLUGIN")) return configured;
  char self[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string folder(self, n);
  folder = folder.substr(0, folder.find_last_of("\\/"));
  for (int up = 0; up < 4; ++up) {
    for (const char* sub : {"/bin/tavorin.dll", "/tavorin.dll"}) {
      std::string candidate = folder + sub;
      if (GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES) return candidate;
    }
    size_t slash = folder.find_last_of("\\/");
    if (slash == std::string::npos) break;
    folder = folder.substr(0, slash);
  }
  return "tavorin.dll";
}

}  // namespace host
