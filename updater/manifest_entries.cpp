#include "updater/manifest_entries.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <vector>

namespace {

constexpr const char* kInstallTypeTexts[] = {"SelfInstall", "InfInstall", "Regsvr32", "ExeInstall"};
// Fields after the third are ignored, so splitting stops there.
constexpr size_t kFileEntryFields = 3;

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Reads hex digits after an optional "0x"; stops at the first other character.
std::uint32_t HexValue(const std::string& text) {
  size_t i = 0;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) i = 2;
  std::uint32_t value = 0;
  for (; i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i])); ++i) {
    char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    std::uint32_t digit = (c >= 'a') ? static_cast<std::uint32_t>(c - 'a' + 10) : static_cast<std::uint32_t>(c - '0');
    value = (value << 4) | digit;
  }
  return value;
}

}  // namespace

std::optional<FileEntry> ParseFileEntry(const std::string& line) {
  std::vector<std::string> fields;
  size_t pos = 0;
  while (fields.size() < kFileEntryFields) {
    pos = line.find_first_not_of('\t', pos);
    if (pos == std::string::npos) break;
    size_t end = line.find('\t', pos);
    if (end == std::string::npos) end = line.size();
    fields.push_back(line.substr(pos, end - pos));
    pos = end;
  }
  if (fields.size() < kFileEntryFields) return std::nullopt;
  if (fields[0].size() > kMaxEntryNameLength || fields[2].size() > kMaxChecksumFieldLength) return std::nullopt;
  FileEntry entry;
  entry.name = fields[0];
  entry.size = DecimalValue(fields[1]);
  entry.checksum = HexValue(fields[2]);
  entry.upToDate = 0;
  return entry;
}

std::optional<InstallEntry> ParseInstallEntry(const std::string& line) {
  std::string words[2];
  size_t pos = 0;
  for (std::string& word : words) {
    while (pos < line.size() && IsSpace(line[pos])) ++pos;
    size_t start = pos;
    while (pos < line.size() && !IsSpace(line[pos])) ++pos;
    word = line.substr(start, pos - start);
    if (word.empty()) return std::nullopt;
  }
  if (words[0].size() > kMaxEntryNameLength) return std::nullopt;
  for (std::int32_t type = 0; type < 4; ++type) {
    if (words[1] == kInstallTypeTexts[type]) return InstallEntry{words[0], type};
  }
  return std::nullopt;
}

std::int32_t FileEntryVersion(const std::string& name) {
  if (name.size() <= 3) return 0;
  return DecimalValue(name.substr(3, 2));
}
