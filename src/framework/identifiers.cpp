#include "framework/identifiers.h"

namespace KMC {

namespace {
NarrowString makeId(const char* text) { return NarrowString(text, &StandardAllocator<char>::instance()); }
}  // namespace

// Built at library load, freed at unload (before the allocator singletons, which were
// completed first).
const NarrowString kComponentInterfaceId = makeId("com.kestra.mediacore.interface.component");
const NarrowString kOutputInterfaceId = makeId("com.kestra.mediacore.interface.output");
const NarrowString kOutputComponentId = makeId("com.kestra.mediacore.component.output");
const NarrowString kOutputSingleKindId = makeId("com.kestra.mediacore.component.output.single");
const NarrowString kOutputMultipleKindId = makeId("com.kestra.mediacore.component.output.multiple");
const NarrowString kInputInterfaceId = makeId("com.kestra.mediacore.interface.input");
const NarrowString kInputComponentId = makeId("com.kestra.mediacore.component.input");
const NarrowString kTransformInterfaceId = makeId("com.kestra.mediacore.interface.transform");
const NarrowString kTransformComponentId = makeId("com.kestra.mediacore.component.transform");
const NarrowString kVideoAdapterUnknownId = makeId("com.kestra.videoadapter.unknown");
const NarrowString kVideoAdapterExternalGLId = makeId("com.kestra.videoadapter.ExternalGL");
const NarrowString kVideoAdapterHWNDId = makeId("com.kestra.videoadapter.HWND");

}  // namespace KMC
