#include "abi/plugin.h"

namespace KMC {

int32_t Plugin::addReference() { return ++referenceCount_; }

int32_t Plugin::releaseReference() {
  int32_t count = --referenceCount_;
  if (count == 0) {
    PluginHost* host = host_;
    Plugin* self = this;
    if (host) host->pluginDeleting(self);
    deletingDestructor(kFreeStorage);
    if (host) host->pluginDeleted(self);  // identifies the component only; not dereferenced
  }
  return count;
}

int32_t Plugin::referenceCount() { return referenceCount_; }
PluginDescriptor* Plugin::descriptor() { return descriptor_; }
PluginHost* Plugin::host() { return host_; }

}  // namespace KMC
