#include "framework/plugin_base.h"

namespace KMC {

int32_t PluginBase::addReference() { return ++referenceCount_; }

int32_t PluginBase::releaseReference() {
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

int32_t PluginBase::referenceCount() { return referenceCount_; }
PluginDescriptor* PluginBase::descriptor() { return descriptor_; }
PluginHost* PluginBase::host() { return host_; }

}  // namespace KMC
