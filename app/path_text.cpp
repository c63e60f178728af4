#include "app/path_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

int ReplaceChar(char* text, char from, char to) {
  if (!text) return 0;
  int length = 0;
  for (char* p = text; *p; ++p, ++length)
    if (*p == from) *p = to;
  return length;
}

int FormatPath(char* buffer, const char* format, ...) {
  if (!buffer) return -1;
  buffer[0] = '\0';
  if (!format) return -1;
  va_list args;
  va_start(args, format);
  int length = std::vsnprintf(buffer, kPathBufferSize, format, args);
  va_end(args);
  if (length < 0 || static_cast<std::size_t>(length) >= kPathBufferSize) {
    buffer[0] = '\0';
    return -1;
  }
  return length;
}

int CopyPath(char* buffer, const char* text) {
  if (!buffer) return -1;
  buffer[0] = '\0';
  if (!text) return -1;
  std::size_t length = std::strlen(text);
  if (length >= kPathBufferSize) return -1;
  std::memcpy(buffer, text, length + 1);
  return static_cast<int>(length);
}

// Drive and directory of the program file: everything up to its last separator.
std::string GetProgramFolder() {
  char path[kPathBufferSize + 1] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= kPathBufferSize) return std::string();
  std::string folder(path, length);
  std::size_t slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}
