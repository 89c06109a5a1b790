#ifdef _WIN32
#error "POSIX library loading"
#endif
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cstdlib>

#include "engine/library_loader.h"

namespace host {

LibraryLoader::LibraryLoader(const std::string& path) : module_(nullptr) {
  // A plug-in once loaded stays in the process (as the engine keeps its plug-ins): its threads,
  // thread-local data and its own loaded logging library may outlive the last handle.
  module_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!module_) {
    const char* message = dlerror();
    error_ = message ? message : "dlopen failed";
  }
}

LibraryLoader::~LibraryLoader() {
  if (module_) dlclose(module_);
}

void* LibraryLoader::symbol(const char* name) {
  if (!module_) return nullptr;
  dlerror();
  void* address = dlsym(module_, name);
  if (!address) {
    const char* message = dlerror();
    error_ = message ? message : "symbol not found";
  }
  return address;
}

std::string defaultPluginPath() {
  if (const char* configured = std::getenv("TAVORIN_PLUGIN")) return configured;
  char self[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "libtavorin.so";
  self[n] = 0;
  std::string folder(self);
  folder = folder.substr(0, folder.rfind('/'));
  // Programs live in <build>/bin or <build>/tests/..., the plug-in in <build>/lib.
  for (int up = 0; up < 4; ++up) {
    std::string candidate = folder + "/lib/libtavorin.so";
    if (access(candidate.c_str(), R_OK) == 0) return candidate;
    size_t slash = folder.rfind('/');
    if (slash == std::string::npos || slash == 0) break;
    folder = folder.substr(0, slash);
  }
  return "libtavorin.so";
}

}  // namespace host
