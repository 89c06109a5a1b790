// The one setting this library reads.
#pragma once

#include "abi/engine_objects.h"
#include "abi/setting.h"

namespace KMC {

// Asks the engine for "VideoDriver|FormatCache"/"Enabled"; true only when getSetting answers
// true and the payload's first 32 bits are non-zero. Asked anew at every call.
bool readFormatCacheSwitch(ComponentContext* context);

}  // namespace KMC
