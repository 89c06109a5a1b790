#include "plugin_output.h"

#include <ostream>

namespace play {

bool PluginOutput::load(const std::string& given, std::ostream& err) {
  std::string path = given.empty() ? host::defaultPluginPath() : given;
  library_.reset(new host::LibraryLoader(path));
  if (!library_->isLoaded()) {
    err << "tavorin-play: cannot load the plug-in '" << path << "': " << library_->error() << "\n";
    return false;
  }
  if (!engine_.open(*library_, &pluginHost_)) {
    err << "tavorin-play: '" << path << "': " << engine_.error() << "\n";
    return false;
  }
  component_ = engine_.component();
  output_ = engine_.output();
  return true;
}

bool PluginOutput::create(PlayerContext* context, bool formatCache, std::ostream& err) {
  context->setSetting("VideoDriver|FormatCache", "Enabled", formatCache ? 1 : 0);
  if (!component_->create(context)) {
    err << "tavorin-play: the output could not be created\n";
    return false;
  }
  created_ = true;
  return true;
}

void PluginOutput::release() {
  if (created_) component_->destroy();
  created_ = false;
  engine_.release();
  component_ = nullptr;
  output_ = nullptr;
}

}  // namespace play
