#include "engine/plugin_host.h"

namespace host {

int32_t RecordingPluginHost::pluginDeleting(KMC::Plugin* plugin) {
  std::lock_guard<std::mutex> guard(lock_);
  records_.push_back(Record{Notice::Deleting, plugin});
  return 0;
}

int32_t RecordingPluginHost::pluginDeleted(KMC::Plugin* plugin) {
  std::lock_guard<std::mutex> guard(lock_);
  records_.push_back(Record{Notice::Deleted, plugin});
  return 0;
}

std::vector<RecordingPluginHost::Record> RecordingPluginHost::records() const {
  std::lock_guard<std::mutex> guard(lock_);
  return records_;
}

}  // namespace host
