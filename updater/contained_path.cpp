#include "updater/contained_path.h"

#include <cstring>
#include <string_view>

#include "text/ascii_case.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Control characters and what Windows refuses in a name; ':' would name a drive or a stream.
bool IsForbidden(char c) { return static_cast<unsigned char>(c) < 0x20 || std::strchr("<>:\"|?*", c) != nullptr; }

// Windows opens the device for these names in any folder and with any extension ("nul.txt").
bool IsDeviceName(const std::string& component) {
  std::string_view base = std::string_view(component).substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  for (const char* name : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"})
    if (EqualsNoCase(base, name)) return true;
  return base.size() == 4 && (StartsWithNoCase(base, "COM") || StartsWithNoCase(base, "LPT")) && base[3] >= '0' &&
         base[3] <= '9';
}

// ".." and its look-alikes: Windows drops trailing dots and blanks, so "..." or ".. " may climb too.
bool IsClimbing(const std::string& component) {
  return component != "." && component.find_first_not_of(". ") == std::string::npos;
}

bool ComponentsStayInside(const std::string& path) {
  if (path.empty() || IsSeparator(path.front())) return false;
  size_t start = 0;
  for (;;) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) {
      if (IsForbidden(path[end])) return false;
      ++end;
    }
    std::string component = path.substr(start, end - start);
    if (component.empty() || IsClimbing(component) || IsDeviceName(component)) return false;
    if (end == path.size()) return true;
    start = end + 1;
  }
}

}  // namespace

bool StaysInsideFolder(const std::string& relativePath) { return ComponentsStayInside(relativePath); }

bool FolderStaysInside(const std::string& relativeFolder) {
  if (relativeFolder.empty()) return true;
  std::string path = relativeFolder;
  if (IsSeparator(path.back())) path.pop_back();
  return ComponentsStayInside(path);
}
