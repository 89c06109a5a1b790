// Loads a plug-in library by file name, as the engine does, and finds its entry.
#pragma once

#include <string>

#include "abi/plugin.h"

namespace host {

class LibraryLoader {
 public:
  // Loads the library at path (a file name or a full path).
  explicit LibraryLoader(const std::string& path);
  ~LibraryLoader();
  LibraryLoader(const LibraryLoader&) = delete;
  LibraryLoader& operator=(const LibraryLoader&) = delete;

  bool isLoaded() const { return module_ != nullptr; }
  // The loader's explanation when loading or lookup failed.
  const std::string& error() const { return error_; }
  // The exported symbol, or null.
  void* symbol(const char* name);
  // The plug-in's "_getPlugin", or null.
  KMC::GetPluginFunction getPlugin() {
    return reinterpret_cast<KMC::GetPluginFunction>(symbol("_getPlugin"));
  }

 private:
  void* module_;
  std::string error_;
};

// Where the build put the plug-in, for tests and the player: $TAVORIN_PLUGIN when set, else
// the file beside the running program's lib folder.
std::string defaultPluginPath();

}  // namespace host
