// The manifest reader: key lines, sections, list sections, markup, the end of the text.
#include "updater/manifest_entries.h"
#include "updater/manifest_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class Lines {
 public:
  explicit Lines(std::vector<std::string> lines) : m_lines(std::move(lines)) {}
  ManifestReader::LineSource Source() {
    return [this](std::string& line) {
      if (m_next >= m_lines.size()) return false;
      line = m_lines[m_next++];
      return true;
    };
  }
  size_t Used() const { return m_next; }

 private:
  std::vector<std::string> m_lines;
  size_t m_next = 0;
};

std::string Read(const std::vector<std::string>& text, const char* section, const char* key) {
  Lines lines(text);
  ManifestReader reader(lines.Source());
  std::string value = "(unchanged)";
  EXPECT_TRUE(reader.ReadKey(section, key, value));
  return value;
}

TEST(ManifestReaderTest, SpacingAroundTheEqualsSignDoesNotMatter) {
  for (const char* line : {"RegTree_RootKey = HKCU", "RegTree_RootKey=HKCU", "  RegTree_RootKey   =   HKCU  \r\n",
                           "RegTree_RootKey\t=\tHKCU\n"}) {
    EXPECT_EQ(Read({"[REGESTRY]", line}, "[REGESTRY]", "RegTree_RootKey"), "HKCU") << line;
  }
}

TEST(ManifestReaderTest, KeyNameCharactersAreStrippedAsASet) {
  // The value survives when a separator stands between key and value...
  EXPECT_EQ(Read({"[SERVER]", "SERVER_Setup = Setup"}, "[SERVER]", "SERVER_Setup"), "Setup");
  EXPECT_EQ(Read({"[SERVER]", "SERVER_Setup=Setup"}, "[SERVER]", "SERVER_Setup"), "Setup");
  EXPECT_EQ(Read({"[REGESTRY]", "RegKey_ProgVer = ProgVer"}, "[REGESTRY]", "RegKey_ProgVer"), "ProgVer");
  // Any run of the key's characters goes, not just the key itself...
  EXPECT_EQ(Read({"[SERVER]", "SERVER_SetupSetup = x"}, "[SERVER]", "SERVER_Setup"), "x");
  // ...and a line that only holds the key somewhere inside is taken whole.
  EXPECT_EQ(Read({"[SERVER]", "X SERVER_Setup = a"}, "[SERVER]", "SERVER_Setup"), "X SERVER_Setup = a");
  // '=' runs are one separator.
  EXPECT_EQ(Read({"[SERVER]", "SERVER_Patch == = patch"}, "[SERVER]", "SERVER_Patch"), "= patch");
}

TEST(ManifestReaderTest, ALineWithoutTheKeyIsUsedUpAndLeavesTheValue) {
  Lines lines({"[REGESTRY]", "RegTree_RootKey = HKCU", "; a comment", "RegKey_ProgDir = dir"});
  ManifestReader reader(lines.Source());
  std::string root, path = "old", dir;
  ASSERT_TRUE(reader.ReadKey("[REGESTRY]", "RegTree_RootKey", root));
  ASSERT_TRUE(reader.ReadKey("[REGESTRY]", "RegTree_KeyPath", path));
  EXPECT_EQ(path, "old");  // the comment was taken for its line
  ASSERT_TRUE(reader.ReadKey("[REGESTRY]", "RegKey_ProgDir", dir));
  EXPECT_EQ(dir, "dir");
  // A key line without '=' changes nothing either.
  EXPECT_EQ(Read({"[SETUP]", "AutoButton 1"}, "[SETUP]", "AutoButton"), "(unchanged)");
}

TEST(ManifestReaderTest, BlankLinesAndOtherSectionsAreSkipped) {
  Lines lines({"RegTree_RootKey = before any section", "", "[OTHER]", "RegTree_RootKey = other", "   ", "[REGESTRY]",
               "", "\r", "RegTree_RootKey = HKLM"});
  ManifestReader reader(lines.Source());
  std::string value;
  ASSERT_TRUE(reader.ReadKey("[REGESTRY]", "RegTree_RootKey", value));
  EXPECT_EQ(value, "HKLM");
  EXPECT_EQ(reader.CurrentSection(), "[REGESTRY]");
  EXPECT_EQ(reader.ListKind(), NotAList);
  // Section names are case-sensitive.
  Lines lower({"[regestry]", "RegTree_RootKey = x"});
  ManifestReader other(lower.Source());
  EXPECT_FALSE(other.ReadKey("[REGESTRY]", "RegTree_RootKey", value));
}

TEST(ManifestReaderTest, ListSectionsGiveWholeLines) {
  Lines lines(
      {"[FILE_CRC]", "FileCnt = 2", "NorvoSMS.exe\t1000\t1a2b", "[AddInstall]", "FileCnt=1", "a.inf InfInstall"});
  ManifestReader reader(lines.Source());
  std::string value;
  ASSERT_TRUE(reader.ReadKey("[FILE_CRC]", "FileCnt", value));
  EXPECT_EQ(value, "2");
  EXPECT_EQ(reader.ListKind(), CrcList);
  ASSERT_TRUE(reader.ReadKey("[FILE_CRC]", kEntryLineKey, value));
  EXPECT_EQ(value, "NorvoSMS.exe\t1000\t1a2b");
  ASSERT_TRUE(reader.ReadKey("[AddInstall]", "FileCnt", value));
  EXPECT_EQ(reader.ListKind(), AddInstallList);
  ASSERT_TRUE(reader.ReadKey("[AddInstall]", kEntryLineKey, value));
  EXPECT_EQ(value, "a.inf InfInstall");
}

TEST(ManifestReaderTest, EntriesOfAnUnreadVersionSectionAreSkippedByTheNextRead) {
  Lines lines({"[FILE_VERSION]", "VerMin = -1", "VerMax = 3", "FileCnt = 2", "Ver02\t1\t1", "Ver03\t1\t1",
               "[AddInstall]", "FileCnt = 0"});
  ManifestReader reader(lines.Source());
  std::string verMin, verMax, count, install;
  ASSERT_TRUE(reader.ReadKey("[FILE_VERSION]", "VerMin", verMin));
  ASSERT_TRUE(reader.ReadKey("[FILE_VERSION]", "VerMax", verMax));
  ASSERT_TRUE(reader.ReadKey("[FILE_VERSION]", "FileCnt", count));
  EXPECT_EQ(DecimalValue(verMin), -1);
  ASSERT_TRUE(reader.ReadKey("[AddInstall]", "FileCnt", install));
  EXPECT_EQ(install, "0");
}

TEST(ManifestReaderTest, MarkupFailsWithoutAFailureText) {
  Lines lines({"", "<html>", "[REGESTRY]", "RegTree_RootKey = HKCU"});
  ManifestReader reader(lines.Source());
  std::string value;
  EXPECT_FALSE(reader.ReadKey("[REGESTRY]", "RegTree_RootKey", value));
  EXPECT_EQ(reader.FailureText(), "");
  EXPECT_EQ(lines.Used(), 2u);
}

TEST(ManifestReaderTest, TheEndOfTheTextNamesTheKey) {
  Lines lines({"[REGESTRY]", "RegTree_RootKey = HKCU"});
  ManifestReader reader(lines.Source());
  std::string value;
  ASSERT_TRUE(reader.ReadKey("[REGESTRY]", "RegTree_RootKey", value));
  EXPECT_FALSE(reader.ReadKey("[REGESTRY]", "RegTree_KeyPath", value));
  EXPECT_EQ(reader.FailureText(), AnsiText("RegTree_KeyPath 읽기에 실패하였습니다."));
  // A known section out of order makes the read run to the end.
  Lines outOfOrder({"[SERVER]", "SERVER_Setup = a", "[REGESTRY]", "RegTree_RootKey = HKCU"});
  ManifestReader late(outOfOrder.Source());
  ASSERT_TRUE(late.ReadKey("[REGESTRY]", "RegTree_RootKey", value));
  EXPECT_FALSE(late.ReadKey("[SERVER]", "SERVER_Setup", value));
}

TEST(ManifestReaderTest, LongLinesAndValuesAreCut) {
  std::string value;
  std::string longValue(400, 'v');
  EXPECT_EQ(Read({"[PATCH]", "URL_PatchFile = " + longValue}, "[PATCH]", "URL_PatchFile").size(), 254u - 16u);
  std::string header = "[" + std::string(300, 'S') + "]";
  Lines lines({header, "URL_PatchFile = x"});
  ManifestReader reader(lines.Source());
  EXPECT_FALSE(reader.ReadKey(header, "URL_PatchFile", value));  // a cut header is no header
}

TEST(ManifestReaderTest, AnEndlessTextStopsAtTheByteLimit) {
  size_t calls = 0;
  ManifestReader reader([&calls](std::string& line) {
    ++calls;
    line = "[OTHER]";
    return true;
  });
  std::string value;
  EXPECT_FALSE(reader.ReadKey("[REGESTRY]", "RegTree_RootKey", value));
  EXPECT_LE(calls, kMaxManifestBytes / 8 + 1);
}

TEST(ManifestEntriesTest, FileEntries) {
  std::optional<FileEntry> entry = ParseFileEntry("Ver07\t1000\t1a2b");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->name, "Ver07");
  EXPECT_EQ(entry->size, 1000);
  EXPECT_EQ(entry->checksum, 0x1A2Bu);
  EXPECT_EQ(entry->upToDate, 0);
  EXPECT_EQ(FileEntryVersion(entry->name), 7);
  EXPECT_FALSE(ParseFileEntry("Ver07\t1000"));
  EXPECT_FALSE(ParseFileEntry("Ver07 1000 1a2b"));

  entry = ParseFileEntry("\t\tbin/a.dll\t\t\t-5\t0xCADBBE3Dzz\textra\tfields");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->name, "bin/a.dll");
  EXPECT_EQ(entry->size, -5);
  EXPECT_EQ(entry->checksum, 0xCADBBE3Du);
  entry = ParseFileEntry("a\tlots\tnothex");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->size, 0);
  EXPECT_EQ(entry->checksum, 0u);

  EXPECT_FALSE(ParseFileEntry(std::string(128, 'n') + "\t1\t1"));
  EXPECT_TRUE(ParseFileEntry(std::string(127, 'n') + "\t1\t1"));
  EXPECT_FALSE(ParseFileEntry("a\t1\t" + std::string(64, 'f')));
}

TEST(ManifestEntriesTest, VersionsAndNumbers) {
  EXPECT_EQ(FileEntryVersion("Ver12345"), 12);
  EXPECT_EQ(FileEntryVersion("Ver"), 0);
  EXPECT_EQ(FileEntryVersion("Ver5"), 5);
  EXPECT_EQ(FileEntryVersion("Verxx"), 0);
  EXPECT_EQ(DecimalValue("  -12abc"), -12);
  EXPECT_EQ(DecimalValue("+7"), 7);
  EXPECT_EQ(DecimalValue("x1"), 0);
  EXPECT_EQ(DecimalValue("99999999999999"), 2147483647);
  EXPECT_EQ(DecimalValue("-99999999999999"), -2147483647 - 1);
}

TEST(ManifestEntriesTest, InstallEntries) {
  std::optional<InstallEntry> entry = ParseInstallEntry("setup.exe ExeInstall");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->name, "setup.exe");
  EXPECT_EQ(entry->installType, ExeInstall);
  EXPECT_EQ(ParseInstallEntry("  a.dll\tRegsvr32 more")->installType, Regsvr32);
  EXPECT_EQ(ParseInstallEntry("a SelfInstall")->installType, SelfInstall);
  EXPECT_EQ(ParseInstallEntry("a InfInstall")->installType, InfInstall);
  EXPECT_FALSE(ParseInstallEntry("setup.exe exeinstall"));
  EXPECT_FALSE(ParseInstallEntry("setup.exe"));
  EXPECT_FALSE(ParseInstallEntry(""));
}

}  // namespace
