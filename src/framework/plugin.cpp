#include "framework/plugin.h"

namespace KMC {

Plugin::~Plugin() {}

int32_t Plugin::addReference() { return ++referenceCount_; }

int32_t Plugin::releaseReference() {
  int32_t count = --referenceCount_;
  if (count == 0) {
    PluginHost* host = host_;
    Plugin* self = this;
    if (host) host->pluginDeleting(self);
    delete this;
    if (host) host->pluginDeleted(self);  // identifies the component only; not dereferenced
  }
  return count;
}

int32_t Plugin::referenceCount() { return referenceCount_; }
PluginDescriptor* Plugin::descriptor() { return descriptor_; }
PluginHost* Plugin::host() { return host_; }

}  // namespace KMC
