// The version manifest reader over arbitrary text: every section and key in order, the entry
// lines of the three lists parsed as the update check parses them, and the "[FILE_CRC]" entries
// checked against a temporary program folder that holds a file, a folder, a FIFO and a link to a
// device, next to a FIFO outside it that would hold whoever opens it.
#include "updater/contained_path.h"
#include "updater/local_file_check.h"
#include "updater/manifest_entries.h"
#include "updater/manifest_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Caps the entries read per list so a huge count cannot make one input run for long.
constexpr int kMaxFuzzEntries = 64;

struct Key {
  const char* section;
  const char* key;
};

constexpr Key kHeaderKeys[] = {
    {"[REGESTRY]", "RegTree_RootKey"}, {"[REGESTRY]", "RegTree_KeyPath"},  {"[REGESTRY]", "RegKey_ProgDir"},
    {"[REGESTRY]", "RegKey_ProgVer"},  {"[REGESTRY]", "RegValue_ExeName"}, {"[SERVER]", "SERVER_Setup"},
    {"[SERVER]", "SERVER_Patch"},      {"[SETUP]", "URL_SetupFile"},       {"[SETUP]", "SetupFileCrc"},
    {"[SETUP]", "DefaultFolder"},      {"[SETUP]", "AutoButton"},          {"[PATCH]", "URL_PatchFile"},
    {"[FILE_VERSION]", "VerMin"},      {"[FILE_VERSION]", "VerMax"},       {"[FILE_VERSION]", "FileCnt"},
};

namespace fs = std::filesystem;

// Made once per process, removed at exit.
struct ProgramFolder {
  fs::path root = fs::temp_directory_path() / ("norvosms-fuzz-manifest-" + std::to_string(::getpid()));
  std::string folder = (root / "program").string() + "/";

  ProgramFolder() {
    fs::remove_all(root);
    fs::create_directories(root / "program" / "sub");
    std::ofstream(root / "program" / "a.dll", std::ios::binary) << "abc";       // 3, cadbbe3d
    std::ofstream(root / "program" / "sub" / "b.dll", std::ios::binary) << "";  // 0, ffffffff
    std::ofstream(root / "secret.dll", std::ios::binary) << "abc";
    ::mkfifo((root / "program" / "pipe").c_str(), 0600);
    ::mkfifo((root / "trap").c_str(), 0600);
    std::error_code ec;
    fs::create_symlink("/dev/zero", root / "program" / "zero", ec);
  }
  ~ProgramFolder() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
};

// Lexically, with either slash: does folder + path stay under folder?
bool LexicallyInside(const std::string& path) {
  std::string slashed = path;
  for (char& c : slashed)
    if (c == '\\') c = '/';
  fs::path joined = (fs::path("/p") / slashed).lexically_normal();
  std::string text = joined.string();
  return text == "/p" || text == "/p/" || text.rfind("/p/", 0) == 0;
}

void CheckEntry(const ProgramFolder& program, FileEntry entry) {
  if (StaysInsideFolder(entry.name) && !LexicallyInside(entry.name)) std::abort();
  LocalFileCheck check(program.folder);
  check.Check(entry);
  if (entry.upToDate != 0 && entry.upToDate != 1) std::abort();
  // Only the two regular files inside could ever match.
  if (entry.upToDate == 1 && entry.size != 3 && entry.size != 0) std::abort();
}

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

  static ProgramFolder program;
  std::string values[sizeof kHeaderKeys / sizeof kHeaderKeys[0]];
  for (std::size_t i = 0; i < sizeof kHeaderKeys / sizeof kHeaderKeys[0]; ++i)
    if (!reader.ReadKey(kHeaderKeys[i].section, kHeaderKeys[i].key, values[i])) return 0;
  ParseFileEntry(values[8]);
  const std::string& defaultFolder = values[9];
  size_t at = defaultFolder.find("Program Files");
  if (at != std::string::npos && at + 14 < defaultFolder.size()) {
    std::string rest = defaultFolder.substr(at + 14);
    if (FolderStaysInside(rest) && !LexicallyInside(rest)) std::abort();
  }

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
      else if (auto entry = ParseFileEntry(line))
        CheckEntry(program, *entry);
    }
  }
  return 0;
}
