// The library's one exported entry.
#include <new>

#include "gdi/tavorin.h"
#include "platform/target.h"

// A new component bound to host, reference count 1, in *out. Always answers 0; *out is null
// when the component could not be built.
TAVORIN_EXPORT_ENTRY int32_t _getPlugin(KMC::PluginHost* host, KMC::Plugin** out) {
  if (!out) return 0;
  *out = nullptr;
  try {
    *out = new KMC::Tavorin(host);
  } catch (const std::exception&) {
    *out = nullptr;  // nothing may cross into the engine as an exception
  }
  return 0;
}
