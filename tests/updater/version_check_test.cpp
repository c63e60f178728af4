// The update check against manifests served by the sandbox web server, with the installed
// program's record in a test hive and the listed files beside the test program.
#include "version_check_fixture.h"

namespace {

TEST_F(VersionCheckTest, CurrentInstallationNeedsNoUpdate) {
  WriteRecord({.installedVersion = 5});
  m_manifest.crcEntries = {LocalFile("NorvoSMS.exe", std::string(5000, 'x')), LocalFile("b.dll", "bbb")};
  m_manifest.installEntries = {"setup.exe ExeInstall", "x.inf badtype"};
  CXVersion version;
  ASSERT_TRUE(Check(version));
  ASSERT_EQ(version.SelectedCount(), 2);
  EXPECT_EQ(version.SelectedList()[0].upToDate, 1);
  EXPECT_EQ(version.SelectedList()[1].upToDate, 1);
  EXPECT_EQ(version.InstalledVersion(), 5);
  EXPECT_EQ(version.ProgramFolder(), "C:\\Program Files\\NorvoSMS\\");
  ASSERT_EQ(version.InstallList().size(), 2u);
  EXPECT_EQ(version.InstallList()[0].installType, ExeInstall);
  EXPECT_EQ(version.InstallList()[1].name, "");  // kept empty, not a failure
  EXPECT_EQ(Boxes(), "");
}

TEST_F(VersionCheckTest, ManifestIsFetchedFreshFromTheServer) {
  WriteRecord({.installedVersion = 5});
  CXVersion version;
  ASSERT_TRUE(Check(version));
  EXPECT_EQ(version.SelectedCount(), 0);
  EXPECT_EQ(version.SelectedList(), nullptr);
  // The server's log shows the cache bypass.
  CInternetSession session;
  CStdioFile* log = session.OpenURL((WebSandboxUrl() + "/_sandbox/requests").c_str());
  ASSERT_NE(log, nullptr);
  std::string text;
  char buffer[512];
  while (log->ReadString(buffer, sizeof buffer)) text += buffer;
  delete log;
  size_t last = text.rfind("/sms/SmsVersion.txt");
  ASSERT_NE(last, std::string::npos);
  EXPECT_NE(text.find("\"Cache-Control\": \"no-cache\"", last), std::string::npos);
  EXPECT_NE(text.find("\"Pragma\": \"no-cache\"", last), std::string::npos);
}

TEST_F(VersionCheckTest, SizeMismatchIsAnUpdateWithoutFullSetup) {
  WriteRecord({.installedVersion = 5});
  m_manifest.crcEntries = {LocalFile("NorvoSMS.exe", "program", 1), LocalFile("b.dll", "bbb")};
  CXVersion version;
  ASSERT_TRUE(Check(version));
  ASSERT_EQ(version.SelectedCount(), 2);
  EXPECT_EQ(version.SelectedList()[0].name, m_filesDir + "/NorvoSMS.exe");
  EXPECT_EQ(version.SelectedList()[0].upToDate, 0);
  EXPECT_EQ(version.SelectedList()[1].upToDate, 1);
}

// The folder gets its backslash in the setup step, so a record without one still counts as a
// recorded folder: an open record with a current version keeps its installation.
TEST_F(VersionCheckTest, RecordWithoutFolderValueGetsNoFullSetup) {
  WriteRecord({.installedVersion = 5, .folder = false});
  m_manifest.crcEntries = {LocalFile("NorvoSMS.exe", "program", 1)};
  CXVersion version;
  ASSERT_TRUE(Check(version));
  EXPECT_EQ(version.ProgramFolder(), "\\");
  ASSERT_EQ(version.SelectedCount(), 1);
  EXPECT_EQ(version.SelectedList()[0].name, m_filesDir + "/NorvoSMS.exe");
  EXPECT_EQ(version.SelectedList()[0].upToDate, 0);
  EXPECT_EQ(fs::current_path(), m_cwd);
}

TEST_F(VersionCheckTest, ChecksumMismatchOrMissingFileIsOutdated) {
  WriteRecord({.installedVersion = 5});
  std::string entry = LocalFile("NorvoSMS.exe", "program");
  entry.back() = entry.back() == '0' ? '1' : '0';
  m_manifest.crcEntries = {entry, m_filesDir + "/missing.dll\t3\tcadbbe3d"};
  CXVersion version;
  ASSERT_TRUE(Check(version));
  ASSERT_EQ(version.SelectedCount(), 2);
  EXPECT_EQ(version.SelectedList()[0].upToDate, 0);
  EXPECT_EQ(version.SelectedList()[1].upToDate, 0);
}

TEST_F(VersionCheckTest, OldInstallationGetsFullSetupInProgramFiles) {
  fs::path programFiles = fs::temp_directory_path() / ("norvosms-pf-" + std::to_string(::getpid()));
  fs::remove_all(programFiles);
  fs::create_directories(programFiles);
  setenv("ProgramFiles", programFiles.c_str(), 1);
  WriteRecord({.installedVersion = 2});
  m_manifest.crcEntries = {LocalFile("NorvoSMS.exe", "program", 1)};
  CXVersion version;
  ASSERT_TRUE(Check(version));
  ASSERT_EQ(version.SelectedCount(), 1);
  EXPECT_EQ(version.SelectedList()[0].name, "NorvoSMSSetup.exe");
  EXPECT_EQ(version.SelectedList()[0].size, 4096);
  EXPECT_EQ(version.SelectedList()[0].checksum, 0xDEADBEEFu);
  EXPECT_EQ(version.SelectedList()[0].upToDate, 0);
  std::string folder = programFiles.string() + "/Norvo/NorvoSMS/";
  EXPECT_EQ(version.ProgramFolder(), folder);
  EXPECT_TRUE(fs::is_directory(programFiles / "Norvo" / "NorvoSMS"));
  EXPECT_EQ(fs::current_path(), fs::path(folder).parent_path());
  unsetenv("ProgramFiles");
  fs::current_path(m_cwd);
  fs::remove_all(programFiles);
}

TEST_F(VersionCheckTest, MissingRecordWithOutdatedFilesGetsFullSetupAndMakesNoFoldersWithoutProgramFiles) {
  unsetenv("ProgramFiles");
  m_manifest.crcEntries = {m_filesDir + "/missing.dll\t3\tcadbbe3d"};
  CXVersion version;
  ASSERT_TRUE(Check(version));
  ASSERT_EQ(version.SelectedCount(), 1);
  EXPECT_EQ(version.SelectedList()[0].name, "NorvoSMSSetup.exe");
  EXPECT_EQ(fs::current_path(), m_cwd);
  EXPECT_FALSE(fs::exists(m_cwd / "Norvo"));
}

TEST_F(VersionCheckTest, TestInstallationIsNeverGivenFullSetup) {
  WriteRecord({.installedVersion = 2, .isTest = true});
  m_manifest.crcEntries = {LocalFile("NorvoSMS.exe", "program", 1)};
  CXVersion version;
  ASSERT_TRUE(Check(version));
  ASSERT_EQ(version.SelectedCount(), 1);
  EXPECT_EQ(version.SelectedList()[0].name, m_filesDir + "/NorvoSMS.exe");
  EXPECT_EQ(version.SelectedList()[0].upToDate, 0);
}

TEST_F(VersionCheckTest, NewerVersionEntrySelectsTheVersionList) {
  WriteRecord({.installedVersion = 6});
  m_manifest.versionEntries = {"Ver06\t10\t1", "Ver07\t10\t2"};
  m_manifest.crcEntries = {LocalFile("NorvoSMS.exe", "program")};
  CXVersion version;
  ASSERT_TRUE(Check(version));
  EXPECT_TRUE(version.HasNewerVersion());
  ASSERT_EQ(version.SelectedCount(), 2);
  EXPECT_EQ(version.SelectedList()[0].upToDate, 1);  // Ver06 is installed
  EXPECT_EQ(version.SelectedList()[1].upToDate, 0);
  // The local files were not looked at.
  ASSERT_EQ(version.CheckList().size(), 1u);
  EXPECT_EQ(version.CheckList()[0].upToDate, 0);
}

TEST_F(VersionCheckTest, NegativeVerMinSkipsTheVersionEntries) {
  WriteRecord({.installedVersion = 6});
  m_manifest.verMin = -1;
  m_manifest.versionEntries = {"Ver07\t10\t2"};
  m_manifest.crcEntries = {LocalFile("NorvoSMS.exe", "program")};
  CXVersion version;
  ASSERT_TRUE(Check(version));
  EXPECT_FALSE(version.HasNewerVersion());
  EXPECT_TRUE(version.VersionList().empty());
  ASSERT_EQ(version.SelectedCount(), 1);
  EXPECT_EQ(version.SelectedList()[0].upToDate, 1);
}

TEST_F(VersionCheckTest, NothingRootMeansVersionZeroInTheDefaultFolder) {
  unsetenv("ProgramFiles");
  m_manifest.root = "NOTHING";
  m_manifest.verMin = 0;
  m_manifest.versionEntries = {"Ver01\t10\t2"};
  m_manifest.crcEntries = {m_filesDir + "/missing.dll\t3\tcadbbe3d"};
  CXVersion version;
  ASSERT_TRUE(Check(version));
  EXPECT_EQ(version.InstalledVersion(), 0);
  EXPECT_EQ(version.ProgramFolder(), "%ProgramFiles%/Norvo/NorvoSMS/");
  ASSERT_EQ(version.SelectedCount(), 1);
  EXPECT_EQ(version.SelectedList()[0].name, "Ver01");  // no full setup for NOTHING
  EXPECT_EQ(version.SelectedList()[0].upToDate, 0);
}

TEST_F(VersionCheckTest, HeaderOnlyStopsAfterTheSetupSection) {
  WriteRecord({.installedVersion = 5});
  std::string text = m_manifest.Text();
  ServeManifest(text.substr(0, text.find("[PATCH]")));
  CXVersion version;
  EXPECT_TRUE(version.CheckVersion(kOwner, (WebSandboxUrl() + kManifestPath).c_str(), 1));
  EXPECT_EQ(version.InstalledVersion(), 5);
  EXPECT_EQ(Boxes(), "");
}

struct CutCase {
  const char* cutBefore;  // the manifest ends right before this text
  const char* caption;    // UTF-8
};

TEST_F(VersionCheckTest, CutManifestsFailWithTheirCaption) {
  const std::string text = AnsiText("서버에서 정보를 제대로 읽을수 없습니다");
  WriteRecord({.installedVersion = 5});
  m_manifest.installEntries = {"setup.exe ExeInstall"};
  m_manifest.crcEntries = {LocalFile("a.dll", "a"), LocalFile("b.dll", "b")};
  const std::string full = m_manifest.Text();
  for (const CutCase& c :
       {CutCase{"b.dll\t", "재시도 Crc Read Warring"}, CutCase{"FileCnt = 2", "재시도 Crc Read Warring"},
        CutCase{"setup.exe ExeInstall", "재시도 AddInstall Read Warring"},
        CutCase{"URL_SetupFile", "URL_SetupFile 읽기에 실패하였습니다."},
        CutCase{"RegTree_RootKey", "RegTree_RootKey 읽기에 실패하였습니다."}}) {
    fs::remove(m_boxLog);
    size_t cut = full.find(c.cutBefore);
    ASSERT_NE(cut, std::string::npos) << c.cutBefore;
    ServeManifest(full.substr(0, cut));
    CXVersion version;
    EXPECT_FALSE(version.CheckVersion(kOwner, (WebSandboxUrl() + kManifestPath).c_str(), 0)) << c.cutBefore;
    EXPECT_EQ(Boxes(), BoxLine(AnsiText(c.caption), text)) << c.cutBefore;
  }
}

TEST_F(VersionCheckTest, AnEntryThatDoesNotParseFailsTheCrcSection) {
  WriteRecord({.installedVersion = 5});
  m_manifest.crcEntries = {"only-a-name"};
  CXVersion version;
  EXPECT_FALSE(Check(version));
  EXPECT_EQ(Boxes(), BoxLine(AnsiText("재시도 Crc Read Warring"), AnsiText("서버에서 정보를 제대로 읽을수 없습니다")));
}

TEST_F(VersionCheckTest, MarkupFailsWithAnEmptyCaption) {
  ServeNoManifest();  // the server's 404 page is HTML
  CXVersion version;
  EXPECT_FALSE(version.CheckVersion(kOwner, (WebSandboxUrl() + kManifestPath).c_str(), 0));
  EXPECT_EQ(Boxes(), BoxLine("", AnsiText("서버에서 정보를 제대로 읽을수 없습니다")));
}

TEST_F(VersionCheckTest, AnAddressWithoutAFileCannotFindTheServer) {
  CXVersion version;
  EXPECT_FALSE(version.CheckVersion(kOwner, "ftp://127.0.0.1/sms/SmsVersion.txt", 0));
  EXPECT_EQ(Boxes(), BoxLine(AnsiText("서버를 찾을수 없습니다"), AnsiText("서버에서 정보를 제대로 읽을수 없습니다")));
}

TEST_F(VersionCheckTest, UnreachableServerShowsOneMessage) {
  // A port nobody listens on: the sandbox's own, once it is stopped, is not at hand, so take
  // the lowest unprivileged one reserved for nothing on a test machine.
  CXVersion version;
  EXPECT_FALSE(version.CheckVersion(kOwner, "http://127.0.0.1:1/sms/SmsVersion.txt", 0));
  EXPECT_EQ(Boxes(), BoxLine(RunningProgramName(), AnsiText("접속이 되지 않습니다.\n 다시 시도하여 주세요.")));
}

TEST(CodePageTest, MessagesAreShownInTheAnsiCodePage) {
  ASSERT_EQ(GetACP(), 949u);
  EXPECT_EQ(AnsiText("재시도"), "\xC0\xE7\xBD\xC3\xB5\xB5");
}

TEST(ServiceHostsTest, AddressesFollowTheEnvironment) {
  unsetenv("NORVOSMS_UPDATE_HOST");
  unsetenv("NORVOSMS_CONSOLE_HOST");
  EXPECT_EQ(ManifestAddress(), "http://127.0.0.1:8380/sms/SmsVersion.txt");
  EXPECT_EQ(ConsolePageAddress("/admin/setting/"), "https://127.0.0.1:8380/admin/setting/");
  setenv("NORVOSMS_UPDATE_HOST", "update.example.invalid", 1);
  setenv("NORVOSMS_CONSOLE_HOST", "console.example.invalid:8443", 1);
  EXPECT_EQ(ManifestAddress(), "http://update.example.invalid/sms/SmsVersion.txt");
  EXPECT_EQ(ConsolePageAddress("/admin/service-info/"), "https://console.example.invalid:8443/admin/service-info/");
  unsetenv("NORVOSMS_UPDATE_HOST");
  unsetenv("NORVOSMS_CONSOLE_HOST");
}

TEST(ServiceHostsTest, HostsThatCannotBeHonouredGiveNoAddress) {
  for (const char* host : {"user:pass@update.example.invalid", "update.example.invalid:", "update.example.invalid:0",
                           "update.example.invalid:100963", "update.example.invalid:-1", "[::1]:8380"}) {
    SCOPED_TRACE(host);
    setenv("NORVOSMS_UPDATE_HOST", host, 1);
    setenv("NORVOSMS_CONSOLE_HOST", host, 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ManifestAddress(), "");
    EXPECT_EQ(ConsolePageAddress("/admin/setting/"), "");
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind("NORVOSMS_UPDATE_HOST cannot be honoured: ", 0), 0u) << said;
    EXPECT_NE(said.find("\nNORVOSMS_CONSOLE_HOST cannot be honoured: "), std::string::npos) << said;
  }
  unsetenv("NORVOSMS_UPDATE_HOST");
  unsetenv("NORVOSMS_CONSOLE_HOST");
}

}  // namespace
