// A configuration value the component asks the engine for, passed to the engine by reference.
#pragma once

#include <cstdint>

#include "abi/abi.h"
#include "abi/kestra_string.h"

namespace KMC {

// In memory: the table pointer (entry 0 only), then kind, path and name.
class Setting final : public EngineTable {
 public:
  // Takes the strings by value: each is copied with this module's allocator and the argument
  // is freed through its own allocator. Defined by the plug-in; the engine only reads.
  Setting(int32_t kind, NarrowString path, NarrowString name);
  ~Setting() = default;

  /* 0 */ void* deletingDestructor(uint32_t flags) override { return runDeletingDestructor(this, flags); }

  int32_t kind() const { return kind_; }
  const NarrowString& path() const { return path_; }
  const NarrowString& name() const { return name_; }

 private:
  int32_t kind_;        // 1 for the settings this library reads
  NarrowString path_;   // levels separated by '|'
  NarrowString name_;

  friend struct RecordLayout;  // record_layout.h asserts where the fields lie
};

}  // namespace KMC
