// A configuration value the component asks the engine for.
#pragma once

#include <cstdint>

#include "framework/kestra_string.h"

namespace KMC {

class ComponentContext;

class Setting {
 public:
  // Takes the strings by value: each is copied with this module's allocator and the argument
  // is freed through its own allocator.
  Setting(int32_t kind, NarrowString path, NarrowString name);
  virtual ~Setting();

  int32_t kind() const { return kind_; }
  const NarrowString& path() const { return path_; }
  const NarrowString& name() const { return name_; }

 private:
  int32_t kind_;        // 1 for the settings this library reads
  NarrowString path_;   // levels separated by '|'
  NarrowString name_;
};

// Asks the engine for "VideoDriver|FormatCache"/"Enabled"; true only when getSetting answers
// true and the payload's first 32 bits are non-zero. Asked anew at every call.
bool readFormatCacheSwitch(ComponentContext* context);

}  // namespace KMC
