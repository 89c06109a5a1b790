// The POSIX form of a window handle (HWND).
//
// On Windows a window belongs to the system and both the engine and the plug-in reach it by
// handle. Here the engine stand-in owns the window as a pixel surface and hands its address out
// as the HWND; the plug-in's GDI stand-in draws into it through a window DC. Engine and plug-in
// each carry their own copy of the platform layer, so this plain layout is the whole contract
// between them: keep it C-compatible and append-only.
#pragma once
#ifdef _WIN32
#error "posix/window_surface.h is the POSIX platform layer"
#endif

#include <pthread.h>
#include <stdint.h>

#define TAVORIN_WINDOW_SURFACE_MAGIC 0x4E495754u /* "TWIN" */

struct TavorinWindowSurface {
  uint32_t magic;          // TAVORIN_WINDOW_SURFACE_MAGIC while the window exists
  int32_t width;           // client area, pixels
  int32_t height;
  uint32_t* pixels;        // width * height 32-bit BGRX pixels, top row first, no padding
  pthread_mutex_t lock;    // held by whoever reads or writes pixels, width or height
  uint32_t generation;     // incremented (under lock) after every drawing into the window
};
