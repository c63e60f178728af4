#include "updater/manifest_reader.h"

#include <windows.h>

#include <string>

// The program's texts are written in UTF-8 here and shown in the ANSI code page (949 on the
// target machines), so they are converted at run time.
std::string AnsiText(const char* utf8) {
  int wide = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (wide <= 0) return utf8;
  std::u16string buffer(static_cast<size_t>(wide), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, buffer.data(), wide);
  int bytes = WideCharToMultiByte(CP_ACP, 0, buffer.data(), -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return utf8;
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, buffer.data(), -1, out.data(), bytes, nullptr, nullptr);
  out.resize(static_cast<size_t>(bytes - 1));
  return out;
}
