// The entry lines of the version manifest: files with size and checksum, and install entries.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "text/decimal_number.h"  // DecimalValue reads the manifest's numbers

constexpr size_t kMaxEntryNameLength = 127;
constexpr size_t kMaxChecksumFieldLength = 63;

struct FileEntry {
  std::string name;            // relative to the program folder; at most 127 characters
  std::int32_t size = 0;       // bytes
  std::uint32_t checksum = 0;  // expected GetFileCrc value
  std::int32_t upToDate = 0;   // 0 or 1, set by the update check
};

enum InstallType : std::int32_t { SelfInstall = 0, InfInstall = 1, Regsvr32 = 2, ExeInstall = 3 };

struct InstallEntry {
  std::string name;
  std::int32_t installType = SelfInstall;
};

// "name<TAB>size<TAB>checksum[<TAB>...]"; runs of TABs are one separator. Empty when a field is
// missing or the name or checksum field is longer than its limit.
std::optional<FileEntry> ParseFileEntry(const std::string& line);

// "name type" with one of the four type texts, case-sensitive.
std::optional<InstallEntry> ParseInstallEntry(const std::string& line);

// The version a "[FILE_VERSION]" name carries in its fourth and fifth characters ("Ver07" is 7).
std::int32_t FileEntryVersion(const std::string& name);
