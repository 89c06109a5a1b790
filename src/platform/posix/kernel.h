// POSIX stand-ins of the Windows kernel, multimedia timer and C runtime calls this code makes.
// Included only through platform/win32.h.
#pragma once
#ifdef _WIN32
#error "posix/kernel.h is the POSIX platform layer; Windows uses <windows.h>"
#endif

#include <cstdint>
#include <cstdio>
#include <ctime>

// --- basic Windows types -------------------------------------------------------------------
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef int32_t HRESULT;
typedef void* HANDLE;
typedef void* HMODULE;
typedef void* HINSTANCE;
typedef void (*FARPROC)(void);
typedef wchar_t WCHAR;
typedef const wchar_t* LPCWSTR;
typedef wchar_t* LPWSTR;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef int64_t __time64_t;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#define MAX_PATH 260
#define S_OK ((HRESULT)0)
#define E_FAIL ((HRESULT)0x80004005L)
#define TIMERR_NOERROR 0
#define TIMERR_NOCANDO 97

// Thread priorities as Windows numbers them.
#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define THREAD_PRIORITY_ERROR_RETURN 0x7fffffff

// --- threads and sleeping ------------------------------------------------------------------
void Sleep(DWORD milliseconds);
// A pseudo handle meaning "the calling thread", as on Windows.
HANDLE GetCurrentThread();
// Priorities are a per-thread record that always reads back what was set; the record is
// applied as a nice value where the process may do so (never a real-time class).
int GetThreadPriority(HANDLE thread);
BOOL SetThreadPriority(HANDLE thread, int priority);
DWORD GetLastError();
void SetLastError(DWORD error);

// --- multimedia timer ----------------------------------------------------------------------
// CLOCK_MONOTONIC milliseconds cut to 32 bits.
DWORD timeGetTime();
UINT timeBeginPeriod(UINT period);
UINT timeEndPeriod(UINT period);

// --- C runtime time ------------------------------------------------------------------------
__time64_t _time64(__time64_t* out);
// Answers a pointer to thread-local storage, or null for a time before 1970 (as the MS CRT).
struct tm* _gmtime64(const __time64_t* time);
#define _snprintf snprintf

// --- dynamic libraries ---------------------------------------------------------------------
// A bare name "X.dll" is looked up as "libX.so" through the dynamic loader's search path.
HMODULE LoadLibraryW(LPCWSTR fileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);

// --- test seams ------------------------------------------------------------------------------
// Tests fix the clocks of this layer here, for the code of this process that is linked with
// it (a loaded plug-in has a copy of its own that nothing outside it can reach).
namespace platform_testing {
typedef DWORD (*MillisecondCounter)();
typedef __time64_t (*WallClock)();
typedef void (*SleepHook)(DWORD milliseconds);
// Null restores the real source.
void setMillisecondCounter(MillisecondCounter counter);
void setWallClock(WallClock clock);
// The hook is called instead of sleeping; null restores real sleeping.
void setSleepHook(SleepHook hook);
// Number of timeBeginPeriod requests not yet ended.
int timerPeriodRequests();
}  // namespace platform_testing
