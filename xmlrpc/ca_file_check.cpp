#include "xmlrpc/ca_file_check.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#ifdef _WIN32

// Windows trusts its own certificate store; the setting is not read there.
std::string CaFileProblem() { return ""; }

#else

namespace {

// Far above any bundle of authorities; a larger file is not read.
constexpr long long kMaxCaFileBytes = 16ll * 1024 * 1024;

std::string Named(const char* path, const char* fault) {
  std::string shown;
  for (const char* p = path; *p && shown.size() < 200; ++p) shown += static_cast<unsigned char>(*p) < 0x20 ? '?' : *p;
  return std::string("NORVOSMS_CA_FILE \"") + shown + "\" " + fault;
}

const char* OpenFault(DWORD error) {
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return "does not exist";
  if (error == ERROR_ACCESS_DENIED) return "cannot be read (access denied)";
  return "cannot be read";
}

// The last file found sound, by name, times and size. Every API call asks, and reading a bundle
// of authorities each time cost more than the call; a file changed in any way (rewritten,
// replaced, its permissions changed) shows new times and is read again.
class SoundFileStamp {
 public:
  bool Matches(const char* path, const WIN32_FILE_ATTRIBUTE_DATA& info) {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_path == path && std::memcmp(&m_info, &info, sizeof info) == 0;
  }
  void Remember(const char* path, const WIN32_FILE_ATTRIBUTE_DATA& info) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_path = path;
    m_info = info;
  }

 private:
  std::mutex m_lock;
  std::string m_path;  // empty until a file is found sound, and no path asked about is empty
  WIN32_FILE_ATTRIBUTE_DATA m_info{};
};

SoundFileStamp& LastSoundFile() {
  static SoundFileStamp* stamp = new SoundFileStamp;  // never destroyed: workers may ask at exit
  return *stamp;
}

}  // namespace

std::string CaFileProblem() {
  const char* path = std::getenv("NORVOSMS_CA_FILE");
  if (!path || !*path) return "";
  WIN32_FILE_ATTRIBUTE_DATA info{};
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &info)) return Named(path, OpenFault(GetLastError()));
  // The last access time changes with every read and says nothing of the content.
  info.ftLastAccessTime = FILETIME{};
  if (LastSoundFile().Matches(path, info)) return "";
  const DWORD attributes = info.dwFileAttributes;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Named(path, "is a folder, not a file of certificates");
  if (attributes & FILE_ATTRIBUTE_DEVICE) return Named(path, "is not a regular file");
  HANDLE file =
      CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Named(path, OpenFault(GetLastError()));
  std::string fault;
  LARGE_INTEGER size{};
  if (GetFileType(file) != FILE_TYPE_DISK) {
    fault = "is not a regular file";
  } else if (!GetFileSizeEx(file, &size) || size.QuadPart > kMaxCaFileBytes) {
    fault = "is larger than 16 MiB";
  } else {
    std::vector<char> text(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    if (!text.empty() && (!ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr))) {
      fault = "cannot be read";
    } else if (std::string(text.data(), got).find("-----BEGIN CERTIFICATE-----") == std::string::npos) {
      fault = "holds no PEM certificate";
    }
  }
  CloseHandle(file);
  if (!fault.empty()) return Named(path, fault.c_str());
  LastSoundFile().Remember(path, info);
  return "";
}

#endif
