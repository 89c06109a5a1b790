// The library's one exported entry.
#include <new>

#include "gdi/tavorin.h"

#if defined(_WIN32)
#define TAVORIN_EXPORT extern "C"  // exported by name through the module definition file
#else
#define TAVORIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// A new component bound to host, reference count 1, in *out. Always answers 0; *out is null
// when the component could not be built.
TAVORIN_EXPORT int32_t _getPlugin(KMC::PluginHost* host, KMC::Plugin** out) {
  if (!out) return 0;
  *out = nullptr;
  try {
    *out = new KMC::Tavorin(host);
  } catch (const std::exception&) {
    *out = nullptr;  // nothing may cross into the engine as an exception
  }
  return 0;
}
