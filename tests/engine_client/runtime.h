// The engine client's own small runtime: memory from the process heap (the heap the Windows
// compilers' runtime allocates from), console output, and string helpers.
#pragma once

#include "freestanding_types.h"

namespace client {

// Storage as the engine's standard library hands it to its containers: from the process heap;
// blocks of 4096 bytes or more are 32-byte aligned, with the heap block's own address stored in
// the pointer-sized word just before the aligned address.
const size_t kBigBlockBytes = 4096;
const size_t kBigBlockAlignment = 32;
void* containerAllocate(size_t bytes);
void containerFree(void* storage, size_t bytes);

// Whether a container block of that many bytes at storage is a live block of the process heap
// laid out by the rule above.
bool isLiveContainerBlock(const void* storage, size_t bytes);
// The heap block behind a container block (itself for small blocks, the stored word for big).
const void* heapBlockOf(const void* storage, size_t bytes);
bool isLiveHeapBlock(const void* block);

void* heapAllocate(size_t bytes);
void heapFree(void* block);

size_t textLength(const char* text);
bool textEquals(const char* text, const char* expected, size_t limit = 256);
void copyBytes(void* to, const void* from, size_t bytes);

// printf-like output to the console; understands %s %d %u %x %p %c and %%.
void print(const char* format, ...);
void formatInto(char* out, size_t size, const char* format, ...);

}  // namespace client
