// Interface and kind identifiers, compared as whole strings, case-sensitively.
#pragma once

#include "abi/kestra_string.h"

namespace KMC {

extern const NarrowString kComponentInterfaceId;      // "com.kestra.mediacore.interface.component"
extern const NarrowString kOutputInterfaceId;         // "com.kestra.mediacore.interface.output"
extern const NarrowString kOutputComponentId;         // "com.kestra.mediacore.component.output"
extern const NarrowString kOutputSingleKindId;
extern const NarrowString kOutputMultipleKindId;
extern const NarrowString kInputInterfaceId;
extern const NarrowString kInputComponentId;
extern const NarrowString kTransformInterfaceId;
extern const NarrowString kTransformComponentId;
extern const NarrowString kVideoAdapterUnknownId;     // "com.kestra.videoadapter.unknown"
extern const NarrowString kVideoAdapterExternalGLId;  // "com.kestra.videoadapter.ExternalGL"
extern const NarrowString kVideoAdapterHWNDId;        // "com.kestra.videoadapter.HWND"

}  // namespace KMC
