// The heap of the engine's runtime library.
//
// The engine's containers (engine_containers.h) are grown and freed by both sides, so both must
// use the heap the engine's runtime allocates from: the current Windows runtime's malloc takes
// its memory from the process heap (HeapAlloc and HeapFree on GetProcessHeap()), and so do these
// two functions. This is the one place that assumption is made. On Linux, where the engine
// stand-in and the plug-in share the C library's malloc, they use that.
#pragma once

#include <cstddef>

namespace KMC {

// size bytes, or null when the heap has none.
void* engineHeapAllocate(size_t size);
// Frees a block of engineHeapAllocate; null is ignored.
void engineHeapFree(void* block);

}  // namespace KMC
