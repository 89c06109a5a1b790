#ifdef _WIN32
#error "posix/shell.cpp is the POSIX platform layer"
#endif
#include "platform/posix/shell.h"
#include "platform/utf8.h"

#include <errno.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

// Paths come from the environment as UTF-8; wchar_t holds one code point each here.
std::wstring widen(const std::string& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size();) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
    // A malformed or cut sequence makes the whole conversion fail.
    if (extra < 0 || i + static_cast<size_t>(extra) >= text.size()) return std::wstring();
    wchar_t code = extra == 0 ? lead : (lead & (0x3F >> extra));
    for (int k = 1; k <= extra; ++k) code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    out += code;
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
}

std::string narrowPath(LPCWSTR path) {
  std::string out;
  for (; *path; ++path) platform::appendUtf8(out, static_cast<uint32_t>(*path));
  return out;
}

}  // namespace

HRESULT SHGetFolderPathW(void* window, int folder, HANDLE token, DWORD flags, LPWSTR path) {
  (void)window;
  (void)token;
  (void)flags;
  if (!path) return E_FAIL;
  path[0] = 0;
  if ((folder & 0xff) != CSIDL_APPDATA) return E_FAIL;
  std::string folderPath;
  const char* xdg = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (xdg && xdg[0] == '/') {
    folderPath = xdg;
  } else if (home && home[0] == '/') {
    folderPath = std::string(home) + "/.local/share";
  } else {
    return E_FAIL;
  }
  while (folderPath.size() > 1 && folderPath.back() == '/') folderPath.pop_back();
  std::wstring wide = widen(folderPath);
  if (wide.empty() || wide.size() >= MAX_PATH) return E_FAIL;
  std::wcscpy(path, wide.c_str());
  return S_OK;
}

BOOL CreateDirectoryW(LPCWSTR path, void* securityAttributes) {
  (void)securityAttributes;
  if (!path || !*path) return FALSE;
  std::string narrow = narrowPath(path);
  if (mkdir(narrow.c_str(), 0777) == 0) return TRUE;
  SetLastError(errno == EEXIST ? 183 /* ERROR_ALREADY_EXISTS */ : 3 /* ERROR_PATH_NOT_FOUND */);
  return FALSE;
}
