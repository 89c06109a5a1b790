// The engine's PluginHost: records the component's deletion notices.
#pragma once

#include <mutex>
#include <vector>

#include "abi/engine_objects.h"

namespace host {

class RecordingPluginHost final : public KMC::PluginHost {
 public:
  // Entry 0 of the engine object (abi/abi.h); the plug-in never calls it.
  void* deletingDestructor(uint32_t flags) override { return KMC::runDeletingDestructor(this, flags); }
  enum class Notice { Deleting, Deleted };
  struct Record {
    Notice notice;
    const void* plugin;
  };

  int32_t pluginDeleting(KMC::Plugin* plugin) override;
  int32_t pluginDeleted(KMC::Plugin* plugin) override;

  std::vector<Record> records() const;

 private:
  mutable std::mutex lock_;
  std::vector<Record> records_;
};

}  // namespace host
