#include "checks.h"

#include "runtime.h"

namespace client {

int32_t g_failures = 0;
int32_t g_passes = 0;
const char* volatile g_step = "start";

bool expect(bool ok, const char* name, const char* detailFormat, ...) {
  if (ok) {
    ++g_passes;
    print("PASS %s\n", name);
    return true;
  }
  ++g_failures;
  // The detail is formatted by the caller's arguments, up to four words.
  __builtin_va_list args;
  __builtin_va_start(args, detailFormat);
  uintptr_t a = __builtin_va_arg(args, uintptr_t), b = __builtin_va_arg(args, uintptr_t);
  uintptr_t c = __builtin_va_arg(args, uintptr_t), d = __builtin_va_arg(args, uintptr_t);
  __builtin_va_end(args);
  char detail[512];
  formatInto(detail, sizeof detail, detailFormat, a, b, c, d);
  print("FAIL %s: %s\n", name, detail);
  return false;
}

void failNotRun(const char* name, const char* reason) {
  ++g_failures;
  print("FAIL %s: not run, %s\n", name, reason);
}

}  // namespace client
