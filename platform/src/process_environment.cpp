// Environment strings and the current directory, on getenv and chdir.
#include <processenv.h>
#include <winerror.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

// getenv for each %NAME%; unknown names and a lone '%' are copied as written, as Windows does.
extern "C" DWORD WINAPI ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst, DWORD nSize) {
  if (lpSrc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string out;
  const char* p = lpSrc;
  while (*p) {
    const char* close = (*p == '%') ? std::strchr(p + 1, '%') : nullptr;
    if (close == nullptr || close == p + 1) {
      out += *p++;
      continue;
    }
    std::string name(p + 1, close);
    if (const char* value = std::getenv(name.c_str())) {
      out += value;
      p = close + 1;
    } else {
      out.append(p, close + 1);
      p = close + 1;
    }
  }
  DWORD needed = static_cast<DWORD>(out.size() + 1);
  if (lpDst == nullptr || nSize < needed) return needed;
  std::memcpy(lpDst, out.c_str(), needed);
  return needed;
}

// chdir; backslashes count as separators, as on Windows.
extern "C" BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) {
  if (lpPathName == nullptr || *lpPathName == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string path(lpPathName);
  for (char& c : path)
    if (c == '\\') c = '/';
  if (chdir(path.c_str()) != 0) {
    SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}
