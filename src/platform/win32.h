// The one place that knows the operating system.
//
// Portable code calls the Windows API by its own names (Sleep, GetDC, StretchBlt,
// SHGetFolderPathW, timeGetTime, LoadLibraryW, ...) and includes this header. On Windows it is
// <windows.h>; elsewhere it is the POSIX stand-ins under posix/, each a small honest
// implementation of what the call does on Windows, as far as this code relies on it.
// Include it from .cpp files and from headers private to one subsystem's sources (such as the
// renderer's channel_surface.h); the engine-facing headers of framework/ never see it.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <mmsystem.h>
#include <shlobj.h>
#include <time.h>
#else
#include "platform/posix/kernel.h"
#include "platform/posix/shell.h"
#include "platform/posix/software_gdi.h"
#endif
