// Facts of the build target that portable code needs without knowing the operating system.
#pragma once

#if defined(_WIN32)
// Exported by name through the module definition file (tavorin.def).
#define TAVORIN_EXPORT_ENTRY extern "C"
#else
#define TAVORIN_EXPORT_ENTRY extern "C" __attribute__((visibility("default")))
#endif

// 1 on the product's own target, 32-bit Windows, whose engine-facing layouts are fixed.
#if defined(_WIN32) && !defined(_WIN64)
#define TAVORIN_PRODUCT_TARGET 1
#else
#define TAVORIN_PRODUCT_TARGET 0
#endif

// Hot pixel loops may be compiled a second time for AVX2 and picked at load time where the
// system loader supports it (ELF indirect functions). Not in sanitizer builds: the loader runs
// the choosing function before the sanitizer's runtime is ready.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__ELF__) && !defined(__SANITIZE_THREAD__) && \
    !defined(__SANITIZE_ADDRESS__)
#define TAVORIN_PIXEL_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define TAVORIN_PIXEL_LOOP
#endif
