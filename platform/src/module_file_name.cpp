// The program file's name, on /proc/self/exe.
#include <libloaderapi.h>
#include <winerror.h>

#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace {
constexpr std::size_t kMaxLinkLength = 32768;
}

// readlink of /proc/self/exe: a Linux path with '/' separators; only the program itself
// (a null module) is known.
extern "C" DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  if (hModule) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (!lpFilename && nSize) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::vector<char> link(kMaxLinkLength);
  ssize_t length = readlink("/proc/self/exe", link.data(), link.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= link.size()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  std::string name(link.data(), static_cast<std::size_t>(length));
  if (nSize == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (name.size() >= nSize) {
    std::memcpy(lpFilename, name.data(), nSize - 1);
    lpFilename[nSize - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
  }
  std::memcpy(lpFilename, name.c_str(), name.size() + 1);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(name.size());
}

// No Windows DLL is ever loaded here: callers take the path of a system without that DLL.
extern "C" HMODULE WINAPI GetModuleHandleA(LPCSTR) {
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}
