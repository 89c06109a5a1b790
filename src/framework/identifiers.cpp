#include "framework/identifiers.h"

#include "abi/identifiers.h"

namespace KMC {

namespace {
NarrowString makeId(const char* text) { return NarrowString(text, &StandardAllocator<char>::instance()); }
}  // namespace

// Built at library load, freed at unload (before the allocator singletons, which were
// completed first).
const NarrowString kComponentInterfaceId = makeId(identifier::kComponentInterface);
const NarrowString kOutputInterfaceId = makeId(identifier::kOutputInterface);
const NarrowString kOutputComponentId = makeId(identifier::kOutputComponent);
const NarrowString kOutputSingleKindId = makeId(identifier::kOutputSingleKind);
const NarrowString kOutputMultipleKindId = makeId(identifier::kOutputMultipleKind);
const NarrowString kInputInterfaceId = makeId(identifier::kInputInterface);
const NarrowString kInputComponentId = makeId(identifier::kInputComponent);
const NarrowString kTransformInterfaceId = makeId(identifier::kTransformInterface);
const NarrowString kTransformComponentId = makeId(identifier::kTransformComponent);
const NarrowString kVideoAdapterUnknownId = makeId(identifier::kVideoAdapterUnknown);
const NarrowString kVideoAdapterExternalGLId = makeId(identifier::kVideoAdapterExternalGL);
const NarrowString kVideoAdapterHWNDId = makeId(identifier::kVideoAdapterHWND);

}  // namespace KMC
