// The engine's PluginHost: records the component's deletion notices.
#pragma once

#include <mutex>
#include <vector>

#include "framework/engine_objects.h"

namespace host {

class RecordingPluginHost : public KMC::PluginHost {
 public:
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
