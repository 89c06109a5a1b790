// POSIX stand-in of GDI: being written. See window_surface.h for the HWND contract.
#pragma once
#include "platform/posix/kernel.h"
