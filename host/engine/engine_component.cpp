#include "engine/engine_component.h"

#include "abi/identifiers.h"

namespace host {

EngineComponent::EngineComponent(const char* name)
    : descriptor_{KMC::NarrowString(name, &KMC::StandardAllocator<char>::instance())} {}

EngineComponent::~EngineComponent() { release(); }

bool EngineComponent::open(LibraryLoader& library, KMC::PluginHost* pluginHost) {
  release();
  if (!library.isLoaded()) {
    error_ = "the plug-in is not loaded: " + library.error();
    return false;
  }
  KMC::GetPluginFunction entry = library.getPlugin();
  if (!entry) {
    error_ = "the plug-in has no _getPlugin entry";
    return false;
  }
  if (entry(pluginHost, &plugin_) != 0 || !plugin_) {
    plugin_ = nullptr;
    error_ = "the plug-in made no component";
    return false;
  }
  plugin_->setDescriptor(&descriptor_);
  void* component = nullptr;
  void* output = nullptr;
  KMC::StandardAllocator<char>* allocator = &KMC::StandardAllocator<char>::instance();
  const KMC::NarrowString componentId(KMC::identifier::kComponentInterface, allocator);
  const KMC::NarrowString outputId(KMC::identifier::kOutputInterface, allocator);
  if (plugin_->queryInterface(componentId, &component) != KMC::kResultOk ||
      plugin_->queryInterface(outputId, &output) != KMC::kResultOk || !component || !output) {
    release();
    error_ = "the component lacks the component or output interface";
    return false;
  }
  component_ = static_cast<KMC::ComponentInterface*>(component);
  output_ = static_cast<KMC::OutputInterface*>(output);
  return true;
}

void EngineComponent::release() {
  if (plugin_) {
    while (plugin_->releaseReference() > 0) {
    }
  }
  plugin_ = nullptr;
  component_ = nullptr;
  output_ = nullptr;
}

}  // namespace host
