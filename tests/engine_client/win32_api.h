// The few Windows calls the engine client makes, declared by hand: the client is freestanding
// (no SDK headers, no runtime library) and links against import libraries made from the .def
// files beside this header.
#pragma once

#include "freestanding_types.h"

#define WINAPI __stdcall
#define IMPORT extern "C" __declspec(dllimport)

typedef void* HANDLE;
typedef void* HMODULE;
typedef void* HWND;
typedef void* HDC;
typedef void* HINSTANCE;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef uint32_t DWORD;
typedef int BOOL;
typedef uint32_t COLORREF;
typedef LRESULT(WINAPI* WindowProcedure)(HWND, uint32_t, WPARAM, LPARAM);
typedef DWORD(WINAPI* ThreadProcedure)(void*);
typedef intptr_t(WINAPI* FarProcedure)();

struct WindowClassW {
  uint32_t style;
  WindowProcedure procedure;
  int classExtra;
  int windowExtra;
  HINSTANCE instance;
  void* icon;
  void* cursor;
  void* background;
  const wchar_t* menuName;
  const wchar_t* className;
};

struct WindowMessage {
  HWND window;
  uint32_t message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  int32_t x, y;
  DWORD reserved;
};

struct ExceptionRecord {
  DWORD code;
  DWORD flags;
  ExceptionRecord* next;
  void* address;
};

struct ExceptionPointers {
  ExceptionRecord* record;
  void* context;
};
typedef int32_t(WINAPI* UnhandledFilter)(ExceptionPointers*);

// kernel32
IMPORT HANDLE WINAPI GetProcessHeap();
IMPORT void* WINAPI HeapAlloc(HANDLE heap, DWORD flags, uintptr_t bytes);
IMPORT BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, void* block);
IMPORT BOOL WINAPI HeapValidate(HANDLE heap, DWORD flags, const void* block);
IMPORT HANDLE WINAPI GetStdHandle(DWORD which);
IMPORT BOOL WINAPI WriteFile(HANDLE file, const void* data, DWORD bytes, DWORD* written,
                             void* overlapped);
IMPORT __declspec(noreturn) void WINAPI ExitProcess(uint32_t code);
IMPORT HMODULE WINAPI LoadLibraryW(const wchar_t* name);
IMPORT FarProcedure WINAPI GetProcAddress(HMODULE module, const char* name);
IMPORT BOOL WINAPI FreeLibrary(HMODULE module);
IMPORT BOOL WINAPI SetDllDirectoryW(const wchar_t* folder);
IMPORT HMODULE WINAPI GetModuleHandleW(const wchar_t* name);
IMPORT void WINAPI Sleep(DWORD milliseconds);
IMPORT DWORD WINAPI GetTickCount();
IMPORT HANDLE WINAPI CreateThread(void* security, uintptr_t stack, ThreadProcedure start,
                                  void* argument, DWORD flags, DWORD* id);
IMPORT const wchar_t* WINAPI GetCommandLineW();
IMPORT UnhandledFilter WINAPI SetUnhandledExceptionFilter(UnhandledFilter filter);
IMPORT DWORD WINAPI GetLastError();

// user32
IMPORT uint16_t WINAPI RegisterClassW(const WindowClassW* windowClass);
IMPORT HWND WINAPI CreateWindowExW(DWORD exStyle, const wchar_t* className, const wchar_t* title,
                                   DWORD style, int x, int y, int width, int height, HWND parent,
                                   void* menu, HINSTANCE instance, void* parameter);
IMPORT BOOL WINAPI DestroyWindow(HWND window);
IMPORT BOOL WINAPI ShowWindow(HWND window, int command);
IMPORT BOOL WINAPI UpdateWindow(HWND window);
IMPORT BOOL WINAPI PeekMessageW(WindowMessage* message, HWND window, uint32_t first,
                                uint32_t last, uint32_t remove);
IMPORT BOOL WINAPI TranslateMessage(const WindowMessage* message);
IMPORT LRESULT WINAPI DispatchMessageW(const WindowMessage* message);
IMPORT LRESULT WINAPI DefWindowProcW(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);
IMPORT HDC WINAPI GetDC(HWND window);
IMPORT int WINAPI ReleaseDC(HWND window, HDC dc);

// gdi32
IMPORT COLORREF WINAPI GetPixel(HDC dc, int x, int y);

enum : DWORD {
  kStdOutput = static_cast<DWORD>(-11),
  kPopupWindow = 0x80000000u,
  kVisibleWindow = 0x10000000u,
  kShowWindow = 5,
  kPeekRemove = 1,
  kInvalidColour = 0xFFFFFFFFu,
};
