// The reference-counted base of every component, and the exported entry's signature.
#pragma once

#include <cstdint>

#include "abi/abi.h"
#include "abi/engine_objects.h"
#include "abi/kestra_string.h"

namespace KMC {

// In memory: the table pointer, then the count, the host and the descriptor. Every entry is
// the component's (framework/plugin_base.h implements them); declaring them all pure here keeps
// the engine's side free of the plug-in's code.
class Plugin : public EngineTable {
 public:
  /* 1 */ virtual int32_t addReference() = 0;
  /* 2 */ virtual int32_t releaseReference() = 0;
  /* 3 */ virtual int32_t referenceCount() = 0;
  /* 4 */ virtual PluginDescriptor* descriptor() = 0;
  /* 5 */ virtual PluginHost* host() = 0;
  /* 6 */ virtual ResultCode queryInterface(const NarrowString& id, void** out) = 0;

  // The engine attaches its descriptor record before create. Inline, so it is compiled into
  // the engine and writes the field in place.
  void setDescriptor(PluginDescriptor* descriptor) { descriptor_ = descriptor; }

 protected:
  explicit Plugin(PluginHost* host) : referenceCount_(1), host_(host), descriptor_(nullptr) {}
  ~Plugin() = default;

  int32_t referenceCount_;
  PluginHost* host_;
  PluginDescriptor* descriptor_;

 private:
  friend struct RecordLayout;  // record_layout.h asserts where the fields lie
};
// Entry 0 is the component's own (it destroys the whole object); the engine releases instead.
//  1 addReference: count + 1; answers the new count. Not thread-safe: the engine serialises it.
//  2 releaseReference: count - 1; at 0 the host hears pluginDeleting, the object deletes itself,
//    then the host hears pluginDeleted with the same pointer. Answers the new count.
//  6 queryInterface: kResultOk with *out set to the interface, or kResultNotFound with *out
//    null. Does not add a reference.

// The library's one exported entry: a new component bound to host, count 1, in *out; always 0.
typedef int32_t (*GetPluginFunction)(PluginHost* host, Plugin** out);

}  // namespace KMC
