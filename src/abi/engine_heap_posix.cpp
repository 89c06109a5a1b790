// The engine runtime's heap on Linux: the C library's, which engine stand-in and plug-in share.
#ifdef _WIN32
#error "engine_heap_posix.cpp is the Linux heap; Windows builds engine_heap_windows.cpp"
#endif

#include "abi/engine_heap.h"

#include <cstdlib>

namespace KMC {

void* engineHeapAllocate(size_t size) { return std::malloc(size ? size : 1); }

void engineHeapFree(void* block) { std::free(block); }

}  // namespace KMC
