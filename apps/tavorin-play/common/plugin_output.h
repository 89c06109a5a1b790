// The plug-in as the player's engine holds it: the library loaded by file name, its one
// component (through the engine stand-in's EngineComponent), and the output created into the
// player's context. Owns the library, the plug-in host and the component; release() destroys
// the output and lets the component go, as an engine does at the end. Main thread only.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "abi/interfaces.h"
#include "engine/engine_component.h"
#include "engine/library_loader.h"
#include "engine/plugin_host.h"
#include "player_context.h"

namespace play {

class PluginOutput {
 public:
  PluginOutput() : engine_("tavorin-play") {}
  ~PluginOutput() { release(); }
  PluginOutput(const PluginOutput&) = delete;
  PluginOutput& operator=(const PluginOutput&) = delete;

  // Loads the library at path (empty: the build's plug-in) and gets its component. False
  // with a message on err.
  bool load(const std::string& path, std::ostream& err);
  // Sets the format cache setting and creates the output into context; returns once the
  // renderer has its window (the context hands it over with the adapter).
  bool create(PlayerContext* context, bool formatCache, std::ostream& err);
  void release();

  KMC::ComponentInterface* component() const { return component_; }
  KMC::OutputInterface* output() const { return output_; }

 private:
  std::unique_ptr<host::LibraryLoader> library_;
  host::RecordingPluginHost pluginHost_;
  host::EngineComponent engine_;
  KMC::ComponentInterface* component_ = nullptr;
  KMC::OutputInterface* output_ = nullptr;
  bool created_ = false;
};

}  // namespace play
