#include "engine/engine_values.h"

namespace host {

namespace {
// Two words where the engine's rectangle table would be; only its address is used.
const uintptr_t rectTableStandIn[2] = {0, 0};
}  // namespace

const void* const kEngineRectTable = rectTableStandIn;

}  // namespace host
