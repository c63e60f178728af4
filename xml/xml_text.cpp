#include "xml/xml_text.h"

#include <windows.h>

#include <array>
#include <cstring>

namespace {
std::array<bool, 256> LoadLeadBytes() {
  std::array<bool, 256> table{};
  for (int b = 0x80; b < 256; ++b) table[static_cast<std::size_t>(b)] = IsDBCSLeadByte(static_cast<BYTE>(b)) != 0;
  return table;
}
}  // namespace

bool IsAnsiLeadByte(unsigned char c) {
  static const std::array<bool, 256> table = LoadLeadBytes();
  return table[c];
}

const char* FindMarkup(const char* p, const char* end, const char* stops) {
  while (p < end) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c >= 0x80) {
      // A trail byte is never markup, even where it has the value of one.
      p += (IsAnsiLeadByte(c) && end - p >= 2) ? 2 : 1;
      continue;
    }
    if (c != 0 && std::strchr(stops, c) != nullptr) return p;
    ++p;
  }
  return end;
}

const char* FindUnescaped(const char* begin, const char* p, const char* end, const char* stops) {
  for (; p < end; ++p) {
    if (*p != 0 && std::strchr(stops, *p) != nullptr && (p == begin || p[-1] != '\\')) return p;
  }
  return end;
}

void SetTextRange(const char* start, const char* end, std::string& target, bool trim, char escape) {
  if (trim) {
    while (start < end && IsXmlWhitespace(*start)) ++start;
    while (end > start && IsXmlWhitespace(end[-1])) --end;
  }
  if (start >= end) return;
  if (escape == 0 || std::memchr(start, escape, static_cast<std::size_t>(end - start)) == nullptr) {
    target.assign(start, end);
    return;
  }
  target.clear();
  for (const char* p = start; p < end; ++p) {
    if (*p == escape) {
      ++p;  // take the next character literally; a trailing escape is dropped
      if (p == end) break;
    }
    target += *p;
  }
}
