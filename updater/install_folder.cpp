#include "updater/install_folder.h"

#include "updater/contained_path.h"
#include "updater/file_routines.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace {

constexpr const char* kProgramFilesName = "Program Files";
constexpr DWORD kExpandedPathLimit = 32 * 1024;

std::string ExpandedProgramFiles() {
  std::vector<char> buffer(MAX_PATH, '\0');
  DWORD needed = ExpandEnvironmentStringsA("%ProgramFiles%", buffer.data(), static_cast<DWORD>(buffer.size()));
  if (needed > buffer.size() && needed <= kExpandedPathLimit) {
    buffer.assign(needed, '\0');
    needed = ExpandEnvironmentStringsA("%ProgramFiles%", buffer.data(), needed);
  }
  if (needed == 0 || needed > buffer.size()) return std::string();
  return std::string(buffer.data());
}

}  // namespace

std::string MakeInstallFolder(const std::string& defaultFolder) {
  size_t at = defaultFolder.find(kProgramFilesName);
  if (at == std::string::npos) return defaultFolder;
  size_t restStart = at + std::strlen(kProgramFilesName) + 1;  // past the separator after it
  std::string rest = restStart < defaultFolder.size() ? defaultFolder.substr(restStart) : std::string();
  // A rest that could climb out of %ProgramFiles% gives no install folder: nothing is made there.
  if (!FolderStaysInside(rest)) return std::string();

  std::string base = ExpandedProgramFiles();
  for (char& c : base)
    if (c == '\\') c = '/';
  std::string folder = base + "/" + rest;
  // Without a Program Files folder to stand in, making folders would land wherever we happen to be.
  if (!base.empty() && SetCurrentDirectoryA(base.c_str())) {
    EnsureFolder(base.c_str(), rest.c_str());
    SetCurrentDirectoryA(folder.c_str());
  }
  return folder;
}
