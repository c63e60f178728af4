#include "updater/manifest_reader.h"

#include <cctype>
#include <cstring>

namespace {

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

void TrimBoth(std::string& s, bool (*drop)(char)) {
  size_t start = 0;
  while (start < s.size() && drop(s[start])) ++start;
  size_t end = s.size();
  while (end > start && drop(s[end - 1])) --end;
  s = s.substr(start, end - start);
}

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

ManifestListKind KindOf(const std::string& section) {
  if (section == "[FILE_CRC]") return CrcList;
  if (section == "[FILE_VERSION]") return VersionList;
  if (section == "[AddInstall]") return AddInstallList;
  return NotAList;
}

}  // namespace

bool ManifestReader::NextLine(std::string& line) {
  if (m_bytesRead >= kMaxManifestBytes || !m_source(line)) return false;
  m_bytesRead += line.size() + 1;
  return true;
}

bool ManifestReader::ReadKey(const std::string& section, const char* key, std::string& dest) {
  const char* k = key ? key : "";
  std::string line;
  for (;;) {
    if (!NextLine(line)) {
      if (key != nullptr) {
        std::string text = AnsiText("%1 읽기에 실패하였습니다.");
        size_t at = text.find("%1");
        if (at != std::string::npos) text.replace(at, 2, key);
        m_failureText = text;
      }
      return false;
    }
    TrimBoth(line, IsLineEnd);
    TrimBoth(line, IsSpace);
    if (line.size() > kMaxManifestLineLength) line.resize(kMaxManifestLineLength);
    if (line.empty()) continue;
    if (line.front() == '<') return false;
    if (line.front() == '[' && line.back() == ']') {
      m_section = line;
      m_listKind = KindOf(line);
      continue;
    }
    if (m_section != section) continue;
    if (m_listKind != NotAList) dest = line;
    if (line.find(k) == std::string::npos) return true;

    size_t pos = 0;
    while (pos < line.size() && std::strchr(k, line[pos]) != nullptr && line[pos] != '\0') ++pos;
    while (pos < line.size() && IsSpace(line[pos])) ++pos;
    if (line.find('=', pos) == std::string::npos) return true;
    while (pos < line.size() && line[pos] == '=') ++pos;
    while (pos < line.size() && IsSpace(line[pos])) ++pos;
    dest = line.substr(pos, kMaxManifestLineLength);
    return true;
  }
}
