#include "updater/local_file_check.h"

#include "updater/file_routines.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

std::string RunningProgramPath() {
  char path[MAX_PATH + 1] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  return std::string(path, length);
}

size_t LastSeparator(const std::string& path) { return path.find_last_of("\\/"); }

}  // namespace

std::string RunningProgramFolder() {
  std::string path = RunningProgramPath();
  size_t slash = LastSeparator(path);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string RunningProgramName() {
  std::string path = RunningProgramPath();
  size_t slash = LastSeparator(path);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

void CheckLocalFile(FileEntry& entry) {
  entry.upToDate = 0;
  std::string path = RunningProgramFolder() + entry.name;
  // Windows takes either separator; the C runtime elsewhere takes '/' only.
  for (char& c : path)
    if (c == '\\') c = '/';
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return;
  bool sizeMatches = std::fseek(file, 0, SEEK_END) == 0 && std::ftell(file) == static_cast<long>(entry.size);
  std::fclose(file);
  if (!sizeMatches) return;
  DWORD crc = 0;
  if (GetFileCrc(path.c_str(), &crc) != 0) return;
  if (crc == entry.checksum) entry.upToDate = 1;
}
