// Check reporting: one line per check, "PASS name" or "FAIL name: detail"; the process exit
// code is the number of failures.
#pragma once

#include "freestanding_types.h"

namespace client {

extern int32_t g_failures;
extern int32_t g_passes;
// What the client is doing now, named in the report of a crash or a hang.
extern const char* volatile g_step;

bool expect(bool ok, const char* name, const char* detailFormat, ...);
void failNotRun(const char* name, const char* reason);

}  // namespace client
