// The reference counting every component shares: the operations 1 to 5 of Plugin.
#pragma once

#include <cstdint>

#include "abi/plugin.h"

namespace KMC {

class PluginBase : public Plugin {
 public:
  int32_t addReference() override;
  int32_t releaseReference() override;
  int32_t referenceCount() override;
  PluginDescriptor* descriptor() override;
  PluginHost* host() override;

 protected:
  explicit PluginBase(PluginHost* host) : Plugin(host) {}
  ~PluginBase() = default;
};

}  // namespace KMC
