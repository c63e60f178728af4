#include "api/ansi_conversion.h"

#include <windows.h>

#include <climits>

std::string Utf8ToAnsi(std::string_view utf8) {
  if (utf8.empty() || utf8.size() > static_cast<std::size_t>(INT_MAX)) return std::string();
  int inSize = static_cast<int>(utf8.size());
  int wideSize = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inSize, nullptr, 0);
  if (wideSize <= 0) return std::string();
  std::u16string wide(static_cast<std::size_t>(wideSize), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inSize, wide.data(), wideSize);
  int ansiSize = WideCharToMultiByte(CP_THREAD_ACP, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
  if (ansiSize <= 0) return std::string();
  std::string ansi(static_cast<std::size_t>(ansiSize), '\0');
  WideCharToMultiByte(CP_THREAD_ACP, 0, wide.data(), wideSize, ansi.data(), ansiSize, nullptr, nullptr);
  return ansi;
}
