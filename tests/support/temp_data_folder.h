// A temporary per-user data folder (where the format cache and the application database go)
// for the life of a rig: XDG_DATA_HOME points into a fresh folder, removed with everything in
// it afterwards. A rig that can turn the format cache on makes this its first member, so that
// the folder outlives the component whose destroy purges the cache.
#pragma once

#include "support/environment_guard.h"
#include "support/temp_folder.h"

namespace testsupport {

class TempDataFolder {
 public:
  explicit TempDataFolder(const char* prefix = "tavorin-data")
      : folder_(prefix), dataHome_("XDG_DATA_HOME", folder_.path().c_str()) {}

  const std::string& path() const { return folder_.path(); }

 private:
  TempFolder folder_;
  EnvironmentGuard dataHome_;
};

}  // namespace testsupport
