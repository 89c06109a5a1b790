#ifndef _WIN32
#error "Windows drawing counter"
#endif
#include "engine/windows/drawing_counter.h"

#include <cstring>
#include <map>
#include <mutex>
#include <set>

namespace host {
namespace windows {

namespace {

std::mutex g_lock;
std::map<HWND, uint32_t>& counts() {
  static std::map<HWND, uint32_t>* const instance = new std::map<HWND, uint32_t>;
  return *instance;
}
std::set<HMODULE>& patched() {
  static std::set<HMODULE>* const instance = new std::set<HMODULE>;
  return *instance;
}

void (*lookUp(const wchar_t* library, const char* name))() {
  return reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(library), name));
}

// The real functions, found by name, never through an import table.
template <typename Function>
Function real(const wchar_t* library, const char* name) {
  return reinterpret_cast<Function>(lookUp(library, name));
}

typedef BOOL(WINAPI* BitBltFunction)(HDC, int, int, int, int, HDC, int, int, DWORD);
typedef BOOL(WINAPI* StretchBltFunction)(HDC, int, int, int, int, HDC, int, int, int, int, DWORD);
typedef BOOL(WINAPI* PatBltFunction)(HDC, int, int, int, int, DWORD);
typedef BOOL(WINAPI* MaskBltFunction)(HDC, int, int, int, int, HDC, int, int, HBITMAP, int, int, DWORD);
typedef int(WINAPI* SetDIBitsToDeviceFunction)(HDC, int, int, DWORD, DWORD, int, int, UINT, UINT, const VOID*,
                                                const BITMAPINFO*, UINT);
typedef int(WINAPI* StretchDIBitsFunction)(HDC, int, int, int, int, int, int, int, int, const VOID*,
                                            const BITMAPINFO*, UINT, DWORD);
typedef int(WINAPI* FillRectFunction)(HDC, const RECT*, HBRUSH);

struct Real {
  BitBltFunction bitBlt = real<BitBltFunction>(L"gdi32.dll", "BitBlt");
  StretchBltFunction stretchBlt = real<StretchBltFunction>(L"gdi32.dll", "StretchBlt");
  PatBltFunction patBlt = real<PatBltFunction>(L"gdi32.dll", "PatBlt");
  MaskBltFunction maskBlt = real<MaskBltFunction>(L"gdi32.dll", "MaskBlt");
  SetDIBitsToDeviceFunction setDIBitsToDevice = real<SetDIBitsToDeviceFunction>(L"gdi32.dll", "SetDIBitsToDevice");
  StretchDIBitsFunction stretchDIBits = real<StretchDIBitsFunction>(L"gdi32.dll", "StretchDIBits");
  FillRectFunction fillRect = real<FillRectFunction>(L"user32.dll", "FillRect");
};

const Real& reals() {
  static const Real* const instance = new Real;
  return *instance;
}

template <typename Result>
Result counted(Result result, HDC dc) {
  if (!result) return result;
  HWND window = WindowFromDC(dc);
  if (!window) return result;
  std::lock_guard<std::mutex> lock(g_lock);
  auto found = counts().find(window);
  if (found != counts().end()) ++found->second;
  return result;
}

BOOL WINAPI countingBitBlt(HDC d, int x, int y, int w, int h, HDC s, int sx, int sy, DWORD rop) {
  return counted(reals().bitBlt(d, x, y, w, h, s, sx, sy, rop), d);
}
BOOL WINAPI countingStretchBlt(HDC d, int x, int y, int w, int h, HDC s, int sx, int sy, int sw, int sh, DWORD rop) {
  return counted(reals().stretchBlt(d, x, y, w, h, s, sx, sy, sw, sh, rop), d);
}
BOOL WINAPI countingPatBlt(HDC d, int x, int y, int w, int h, DWORD rop) {
  return counted(reals().patBlt(d, x, y, w, h, rop), d);
}
BOOL WINAPI countingMaskBlt(HDC d, int x, int y, int w, int h, HDC s, int sx, int sy, HBITMAP mask, int mx, int my,
                            DWORD rop) {
  return counted(reals().maskBlt(d, x, y, w, h, s, sx, sy, mask, mx, my, rop), d);
}
int WINAPI countingSetDIBitsToDevice(HDC d, int x, int y, DWORD w, DWORD h, int sx, int sy, UINT start, UINT lines,
                                     const VOID* bits, const BITMAPINFO* info, UINT usage) {
  return counted(reals().setDIBitsToDevice(d, x, y, w, h, sx, sy, start, lines, bits, info, usage), d);
}
int WINAPI countingStretchDIBits(HDC d, int x, int y, int w, int h, int sx, int sy, int sw, int sh, const VOID* bits,
                                 const BITMAPINFO* info, UINT usage, DWORD rop) {
  return counted(reals().stretchDIBits(d, x, y, w, h, sx, sy, sw, sh, bits, info, usage, rop), d);
}
int WINAPI countingFillRect(HDC d, const RECT* area, HBRUSH brush) { return counted(reals().fillRect(d, area, brush), d); }

// The wrapper standing in for a real drawing call, or null for any other function.
void (*wrapperFor(void (*function)()))() {
  const Real& r = reals();
  const struct {
    void (*real)();
    void (*wrapper)();
  } pairs[] = {
      {reinterpret_cast<void (*)()>(r.bitBlt), reinterpret_cast<void (*)()>(&countingBitBlt)},
      {reinterpret_cast<void (*)()>(r.stretchBlt), reinterpret_cast<void (*)()>(&countingStretchBlt)},
      {reinterpret_cast<void (*)()>(r.patBlt), reinterpret_cast<void (*)()>(&countingPatBlt)},
      {reinterpret_cast<void (*)()>(r.maskBlt), reinterpret_cast<void (*)()>(&countingMaskBlt)},
      {reinterpret_cast<void (*)()>(r.setDIBitsToDevice), reinterpret_cast<void (*)()>(&countingSetDIBitsToDevice)},
      {reinterpret_cast<void (*)()>(r.stretchDIBits), reinterpret_cast<void (*)()>(&countingStretchDIBits)},
      {reinterpret_cast<void (*)()>(r.fillRect), reinterpret_cast<void (*)()>(&countingFillRect)},
  };
  for (const auto& pair : pairs) {
    if (pair.real && pair.real == function) return pair.wrapper;
  }
  return nullptr;
}

template <typename T>
T* at(HMODULE module, DWORD offset) {
  return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module) + offset);
}

}  // namespace

void countDrawingsOf(HMODULE module) {
  if (!module) return;
  std::lock_guard<std::mutex> lock(g_lock);
  if (!patched().insert(module).second) return;
  IMAGE_DOS_HEADER* dos = at<IMAGE_DOS_HEADER>(module, 0);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return;
  IMAGE_NT_HEADERS* nt = at<IMAGE_NT_HEADERS>(module, static_cast<DWORD>(dos->e_lfanew));
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0) return;
  for (IMAGE_IMPORT_DESCRIPTOR* import = at<IMAGE_IMPORT_DESCRIPTOR>(module, directory.VirtualAddress);
       import->Name != 0; ++import) {
    const char* name = at<char>(module, import->Name);
    if (_stricmp(name, "gdi32.dll") != 0 && _stricmp(name, "user32.dll") != 0) continue;
    for (IMAGE_THUNK_DATA* thunk = at<IMAGE_THUNK_DATA>(module, import->FirstThunk); thunk->u1.Function; ++thunk) {
      void (*wrapper)() = wrapperFor(reinterpret_cast<void (*)()>(thunk->u1.Function));
      if (!wrapper) continue;
      DWORD previous = 0;
      if (!VirtualProtect(&thunk->u1.Function, sizeof thunk->u1.Function, PAGE_READWRITE, &previous)) continue;
      thunk->u1.Function = reinterpret_cast<decltype(thunk->u1.Function)>(wrapper);
      VirtualProtect(&thunk->u1.Function, sizeof thunk->u1.Function, previous, &previous);
    }
  }
}

void registerWindow(HWND window) {
  std::lock_guard<std::mutex> lock(g_lock);
  counts()[window] = 0;
}

void unregisterWindow(HWND window) {
  std::lock_guard<std::mutex> lock(g_lock);
  counts().erase(window);
}

uint32_t drawingsInto(HWND window) {
  std::lock_guard<std::mutex> lock(g_lock);
  auto found = counts().find(window);
  return found == counts().end() ? 0 : found->second;
}

int fillRectUncounted(HDC dc, const RECT* area, HBRUSH brush) { return reals().fillRect(dc, area, brush); }

}  // namespace windows
}  // namespace host
