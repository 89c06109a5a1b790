// What a program needs when it is built without a runtime library: memory, the functions the
// compiler calls on its own (memcpy, memset, _purecall, operator new/delete), _fltused, and
// console output.
#include "runtime.h"

#include "win32_api.h"

extern "C" {
// The compiler emits references to this symbol in every object that uses floating point.
int _fltused = 0;

// Byte loops through volatile pointers, so the compiler cannot turn them back into calls of
// the very functions they implement.
void* memcpy(void* to, const void* from, size_t bytes) {
  volatile uint8_t* d = static_cast<volatile uint8_t*>(to);
  const volatile uint8_t* s = static_cast<const volatile uint8_t*>(from);
  for (size_t i = 0; i < bytes; ++i) d[i] = s[i];
  return to;
}

void* memmove(void* to, const void* from, size_t bytes) {
  volatile uint8_t* d = static_cast<volatile uint8_t*>(to);
  const volatile uint8_t* s = static_cast<const volatile uint8_t*>(from);
  if (d < s) {
    for (size_t i = 0; i < bytes; ++i) d[i] = s[i];
  } else {
    for (size_t i = bytes; i > 0; --i) d[i - 1] = s[i - 1];
  }
  return to;
}

void* memset(void* to, int value, size_t bytes) {
  volatile uint8_t* d = static_cast<volatile uint8_t*>(to);
  for (size_t i = 0; i < bytes; ++i) d[i] = static_cast<uint8_t>(value);
  return to;
}

int memcmp(const void* a, const void* b, size_t bytes) {
  const uint8_t* x = static_cast<const uint8_t*>(a);
  const uint8_t* y = static_cast<const uint8_t*>(b);
  for (size_t i = 0; i < bytes; ++i) {
    if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
  }
  return 0;
}

// A call through a table entry that was never filled in.
int __cdecl _purecall() {
  client::print("FAIL runtime: a pure virtual function was called\n");
  ExitProcess(100);
}
}

void* operator new(size_t bytes) { return client::heapAllocate(bytes); }
void* operator new[](size_t bytes) { return client::heapAllocate(bytes); }
void operator delete(void* block) noexcept { client::heapFree(block); }
void operator delete[](void* block) noexcept { client::heapFree(block); }
void operator delete(void* block, size_t) noexcept { client::heapFree(block); }
void operator delete[](void* block, size_t) noexcept { client::heapFree(block); }

namespace client {

void* heapAllocate(size_t bytes) {
  void* block = HeapAlloc(GetProcessHeap(), 0, bytes ? bytes : 1);
  if (!block) {
    print("FAIL runtime: out of memory (%u bytes)\n", static_cast<uint32_t>(bytes));
    ExitProcess(101);
  }
  return block;
}

void heapFree(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

bool isLiveHeapBlock(const void* block) {
  return block && HeapValidate(GetProcessHeap(), 0, block) != 0;
}

void* containerAllocate(size_t bytes) {
  if (bytes < kBigBlockBytes) return heapAllocate(bytes);
  const size_t extra = sizeof(void*) + kBigBlockAlignment - 1;
  uintptr_t block = reinterpret_cast<uintptr_t>(heapAllocate(bytes + extra));
  uintptr_t aligned = (block + extra) & ~static_cast<uintptr_t>(kBigBlockAlignment - 1);
  reinterpret_cast<uintptr_t*>(aligned)[-1] = block;
  return reinterpret_cast<void*>(aligned);
}

const void* heapBlockOf(const void* storage, size_t bytes) {
  if (bytes < kBigBlockBytes) return storage;
  return reinterpret_cast<const void* const*>(storage)[-1];
}

void containerFree(void* storage, size_t bytes) {
  if (storage) heapFree(const_cast<void*>(heapBlockOf(storage, bytes)));
}

bool isLiveContainerBlock(const void* storage, size_t bytes) {
  if (!storage) return false;
  if (bytes < kBigBlockBytes) return isLiveHeapBlock(storage);
  uintptr_t aligned = reinterpret_cast<uintptr_t>(storage);
  if (aligned % kBigBlockAlignment != 0) return false;
  uintptr_t block = reinterpret_cast<const uintptr_t*>(storage)[-1];
  // The stored address lies within the padding in front of the aligned block.
  if (block > aligned - sizeof(void*) || aligned - block > sizeof(void*) + kBigBlockAlignment - 1)
    return false;
  return isLiveHeapBlock(reinterpret_cast<const void*>(block));
}

size_t textLength(const char* text) {
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

bool textEquals(const char* text, const char* expected, size_t limit) {
  if (!text || !expected) return text == expected;
  for (size_t i = 0; i < limit; ++i) {
    if (text[i] != expected[i]) return false;
    if (!text[i]) return true;
  }
  return false;
}

void copyBytes(void* to, const void* from, size_t bytes) { memcpy(to, from, bytes); }

namespace {

struct Sink {
  char* out;
  size_t size;
  size_t used;
  void put(char c) {
    if (used + 1 < size) out[used] = c;
    ++used;
  }
  void text(const char* s) {
    if (!s) s = "(null)";
    while (*s) put(*s++);
  }
  void number(uint64_t value, unsigned base, int minDigits) {
    char digits[24];
    int n = 0;
    do {
      digits[n++] = "0123456789abcdef"[value % base];
      value /= base;
    } while (value && n < 24);
    while (n < minDigits && n < 24) digits[n++] = '0';
    while (n) put(digits[--n]);
  }
};

void formatList(Sink& sink, const char* format, __builtin_va_list args) {
  for (const char* p = format; *p; ++p) {
    if (*p != '%') {
      sink.put(*p);
      continue;
    }
    switch (*++p) {
      case 's': sink.text(__builtin_va_arg(args, const char*)); break;
      case 'c': sink.put(static_cast<char>(__builtin_va_arg(args, int))); break;
      case 'd': {
        int32_t v = __builtin_va_arg(args, int32_t);
        if (v < 0) {
          sink.put('-');
          sink.number(static_cast<uint32_t>(-(v + 1)) + 1u, 10, 1);
        } else {
          sink.number(static_cast<uint32_t>(v), 10, 1);
        }
        break;
      }
      case 'u': sink.number(__builtin_va_arg(args, uint32_t), 10, 1); break;
      case 'x': sink.number(__builtin_va_arg(args, uint32_t), 16, 1); break;
      case 'p':
        sink.text("0x");
        sink.number(reinterpret_cast<uintptr_t>(__builtin_va_arg(args, void*)), 16,
                    2 * sizeof(void*));
        break;
      case '%': sink.put('%'); break;
      case 0: return;
      default: sink.put('%'); sink.put(*p); break;
    }
  }
}

}  // namespace

void formatInto(char* out, size_t size, const char* format, ...) {
  Sink sink{out, size, 0};
  __builtin_va_list args;
  __builtin_va_start(args, format);
  formatList(sink, format, args);
  __builtin_va_end(args);
  if (size) out[sink.used < size ? sink.used : size - 1] = 0;
}

void print(const char* format, ...) {
  char buffer[1024];
  Sink sink{buffer, sizeof buffer, 0};
  __builtin_va_list args;
  __builtin_va_start(args, format);
  formatList(sink, format, args);
  __builtin_va_end(args);
  DWORD length = static_cast<DWORD>(sink.used < sizeof buffer ? sink.used : sizeof buffer - 1);
  DWORD written = 0;
  WriteFile(GetStdHandle(kStdOutput), buffer, length, &written, nullptr);
}

}  // namespace client
