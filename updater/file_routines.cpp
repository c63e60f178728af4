#include "updater/file_routines.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>

namespace {

constexpr size_t kCrcBlockBytes = 4096;

constexpr std::array<DWORD, 256> MakeCrcTable() {
  std::array<DWORD, 256> table{};
  for (DWORD n = 0; n < 256; ++n) {
    DWORD c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

constexpr std::array<DWORD, 256> kCrcTable = MakeCrcTable();

bool PathExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

}  // namespace

long long ChecksumOpenFile(HANDLE file, long long maxBytes, DWORD* result) {
  DWORD crc = 0xFFFFFFFFu;
  unsigned char block[kCrcBlockBytes];
  long long total = 0;
  DWORD got = 0;
  do {
    DWORD wanted = static_cast<DWORD>(std::min<long long>(sizeof block, maxBytes - total));
    if (wanted == 0) break;
    if (!ReadFile(file, block, wanted, &got, nullptr)) return -1;
    for (DWORD i = 0; i < got; ++i) crc = (crc >> 8) ^ kCrcTable[(block[i] ^ crc) & 0xFF];
    total += got;
  } while (got == sizeof block);
  *result = crc;  // no final inversion: the stored form is the complement of CRC-32
  return total;
}

int GetFileCrc(const char* path, DWORD* result) {
  HANDLE file =
      CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::printf("file open error[%s]\n", path);
    return -1;
  }
  DWORD crc = 0;
  long long taken = ChecksumOpenFile(file, std::numeric_limits<long long>::max(), &crc);
  CloseHandle(file);
  if (taken < 0) return -1;
  *result = crc;
  return 0;
}

bool EnsureFolder(const char* basePath, const char* relativePath) {
  std::string base = basePath ? basePath : "";
  std::string relative = relativePath ? relativePath : "";
  if (base.size() + 1 + relative.size() >= kEnsureFolderPathLimit) return false;
  std::string path = base;
  for (char& c : path)
    if (c == '\\') c = '/';
  if (path.empty() || path.back() != '/') path += '/';
  path += relative;
  if (!path.empty() && path.back() == '/') path.pop_back();

  if (PathExists(path) || relative.empty()) return true;
  size_t slash = relative.find('/');
  if (slash == std::string::npos) return true;
  std::error_code ec;
  std::filesystem::create_directory(relative.substr(0, slash), ec);
  CreateFolderPath(relative, slash + 1);
  return true;
}

void CreateFolderPath(const std::string& path, size_t start) {
  while (start < path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) return;
    if (slash <= kFolderPrefixLimit) {
      std::error_code ec;
      std::filesystem::create_directory(path.substr(0, slash), ec);
    }
    start = slash + 1;
  }
}

void AppendBackslash(std::string& path) {
  if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += '\\';
}
