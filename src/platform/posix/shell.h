// POSIX stand-ins of the shell and file-system calls: the per-user application-data folder
// and folder creation. Included only through platform/win32.h.
#pragma once
#ifdef _WIN32
#error "posix/shell.h is the POSIX platform layer"
#endif
#include "platform/posix/kernel.h"

#define CSIDL_APPDATA 0x001a

// The per-user application-data folder: $XDG_DATA_HOME, else $HOME/.local/share. Fails
// (E_FAIL, path emptied) when neither is set to an absolute path or the answer would not fit
// MAX_PATH characters. Only CSIDL_APPDATA is known.
HRESULT SHGetFolderPathW(void* window, int folder, HANDLE token, DWORD flags, LPWSTR path);
// mkdir with mode 0700-masked 0777; fails when the folder exists (ERROR_ALREADY_EXISTS).
BOOL CreateDirectoryW(LPCWSTR path, void* securityAttributes);
