// The engine runtime's heap on Windows: the process heap.
#ifndef _WIN32
#error "engine_heap_windows.cpp is the Windows heap; Linux builds engine_heap_posix.cpp"
#endif

#include "abi/engine_heap.h"

#include <windows.h>

namespace KMC {

void* engineHeapAllocate(size_t size) { return HeapAlloc(GetProcessHeap(), 0, size ? size : 1); }

void engineHeapFree(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace KMC
