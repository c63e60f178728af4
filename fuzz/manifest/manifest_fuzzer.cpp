// The version manifest reader over arbitrary text: every section and key in order, the entry
// lines of the three lists parsed as the update check parses them.
#include "updater/manifest_entries.h"
#include "updater/manifest_reader.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// Caps the entries read per list so a huge count cannot make one input run for long.
constexpr int kMaxFuzzEntries = 64;

struct Key {
  const char* section;
  const char* key;
};

constexpr Key kHeaderKeys[] = {
    {"[REGESTRY]", "RegTree_RootKey"}, {"[REGESTRY]", "RegTree_KeyPath"}, {"[REGESTRY]", "RegKey_ProgDir"},
    {"[REGESTRY]", "RegKey_ProgVer"},  {"[REGESTRY]", "RegValue_ExeName"}, {"[SERVER]", "SERVER_Setup"},
    {"[SERVER]", "SERVER_Patch"},      {"[SETUP]", "URL_SetupFile"},       {"[SETUP]", "SetupFileCrc"},
    {"[SETUP]", "DefaultFolder"},      {"[SETUP]", "AutoButton"},          {"[PATCH]", "URL_PatchFile"},
    {"[FILE_VERSION]", "VerMin"},      {"[FILE_VERSION]", "VerMax"},       {"[FILE_VERSION]", "FileCnt"},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::size_t pos = 0;
  ManifestReader reader([&](std::string& line) {
    if (pos >= text.size()) return false;
    std::size_t end = text.find('\n', pos);
    end = end == std::string::npos ? text.size() : end + 1;
    line = text.substr(pos, end - pos);
    pos = end;
    return true;
  });

  std::string values[sizeof kHeaderKeys / sizeof kHeaderKeys[0]];
  for (std::size_t i = 0; i < sizeof kHeaderKeys / sizeof kHeaderKeys[0]; ++i)
    if (!reader.ReadKey(kHeaderKeys[i].section, kHeaderKeys[i].key, values[i])) return 0;
  ParseFileEntry(values[8]);

  std::string line;
  if (DecimalValue(values[12]) >= 0) {
    int count = DecimalValue(values[14]);
    for (int i = 0; i < count && i < kMaxFuzzEntries; ++i) {
      if (!reader.ReadKey("[FILE_VERSION]", kEntryLineKey, line)) return 0;
      if (auto entry = ParseFileEntry(line)) FileEntryVersion(entry->name);
    }
  }
  for (const char* section : {"[AddInstall]", "[FILE_CRC]"}) {
    std::string countText;
    if (!reader.ReadKey(section, "FileCnt", countText)) return 0;
    int count = DecimalValue(countText);
    for (int i = 0; i < count && i < kMaxFuzzEntries; ++i) {
      if (!reader.ReadKey(section, kEntryLineKey, line)) return 0;
      if (section[1] == 'A')
        ParseInstallEntry(line);
      else
        ParseFileEntry(line);
    }
  }
  return 0;
}
