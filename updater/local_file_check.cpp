#include "updater/local_file_check.h"

#include "updater/contained_path.h"
#include "updater/file_routines.h"

#include <windows.h>

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

void LocalFileCheck::Check(FileEntry& entry) {
  entry.upToDate = 0;
  // Without a folder the name would be taken from the current directory, wherever that is.
  if (m_sFolder.empty() || !StaysInsideFolder(entry.name) || entry.size < 0) return;
  std::string path = m_sFolder + entry.name;
  // Folders and devices are turned away by name before anything is opened.
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
    return;
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  // The name may have been swapped for something else since; the open file is what counts.
  LARGE_INTEGER size{};
  bool sameFile = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) && size.QuadPart == entry.size;
  DWORD crc = 0;
  long long taken = -1;
  if (sameFile && m_nBudget > entry.size) {
    // One byte past the listed size tells a file that grew from one that is as listed.
    taken = ChecksumOpenFile(file, static_cast<long long>(entry.size) + 1, &crc);
    m_nBudget -= taken < 0 ? 0 : taken;
  }
  CloseHandle(file);
  if (taken == entry.size && crc == entry.checksum) entry.upToDate = 1;
}
