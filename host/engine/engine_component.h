// The engine's hold on one component of a loaded plug-in: built through _getPlugin, given its
// descriptor, and reached through its component and output interfaces.
#pragma once

#include <string>

#include "engine/library_loader.h"
#include "abi/engine_objects.h"
#include "abi/interfaces.h"
#include "abi/plugin.h"

namespace host {

class EngineComponent {
 public:
  // name: the descriptor's name, which the component reads at create and format queries.
  explicit EngineComponent(const char* name);
  // Drops the references still held.
  ~EngineComponent();
  EngineComponent(const EngineComponent&) = delete;
  EngineComponent& operator=(const EngineComponent&) = delete;

  // Builds a component from library's entry, bound to pluginHost, and finds its interfaces.
  // False with error() saying which step failed; a component made so far is released.
  bool open(LibraryLoader& library, KMC::PluginHost* pluginHost);
  // Releases every reference the engine holds: the component deletes itself.
  void release();

  KMC::Plugin* plugin() const { return plugin_; }
  KMC::ComponentInterface* component() const { return component_; }
  KMC::OutputInterface* output() const { return output_; }
  const std::string& error() const { return error_; }

 private:
  KMC::PluginDescriptor descriptor_;  // outlives the component, which keeps a pointer to it
  KMC::Plugin* plugin_ = nullptr;
  KMC::ComponentInterface* component_ = nullptr;
  KMC::OutputInterface* output_ = nullptr;
  std::string error_;
};

}  // namespace host
