#include "framework/setting.h"

#include "abi/engine_objects.h"
#include "abi/property_value.h"

namespace KMC {

Setting::Setting(int32_t kind, NarrowString path, NarrowString name)
    : kind_(kind),
      path_(path, &StandardAllocator<char>::instance()),
      name_(name, &StandardAllocator<char>::instance()) {
  path.clear();
  name.clear();
}

bool readFormatCacheSwitch(ComponentContext* context) {
  if (!context) return false;
  StandardAllocator<char>* allocator = &StandardAllocator<char>::instance();
  Setting setting(1, NarrowString("VideoDriver|FormatCache", allocator), NarrowString("Enabled", allocator));
  PropertyValue answer;
  bool answered = context->getSetting(setting, &answer);
  return answered && answer.payload.int32 != 0;
}

}  // namespace KMC
