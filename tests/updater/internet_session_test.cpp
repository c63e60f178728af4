// The framework's Internet session against the sandbox web server: lines through a small read
// buffer, error pages read as files, the exception when nobody answers; environment strings and
// the current directory.
#include "web_sandbox.h"

#include <windows.h>
#include <afxinet.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::string> ReadLines(CStdioFile& file, UINT bufferSize, UINT chunk) {
  file.SetReadBufferSize(bufferSize);
  std::vector<std::string> lines;
  std::vector<char> buffer(chunk);
  while (file.ReadString(buffer.data(), chunk) != nullptr) lines.emplace_back(buffer.data());
  return lines;
}

TEST(InternetSessionTest, ReadsLinesThroughTheReadBuffer) {
  std::string longLine(1500, 'L');
  ServeManifest("first\r\n" + longLine + "\nlast without end");
  CInternetSession session(nullptr, 1, PRE_CONFIG_INTERNET_ACCESS);
  std::unique_ptr<CStdioFile> file(session.OpenURL((WebSandboxUrl() + "/sms/SmsVersion.txt").c_str(), 1,
                                                   INTERNET_FLAG_TRANSFER_ASCII | INTERNET_FLAG_RELOAD));
  ASSERT_TRUE(file);
  std::vector<std::string> lines = ReadLines(*file, 512, 2048);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "first\r\n");
  EXPECT_EQ(lines[1], longLine + "\n");
  EXPECT_EQ(lines[2], "last without end");
  EXPECT_EQ(file->ReadString(std::vector<char>(16).data(), 16), nullptr);
}

TEST(InternetSessionTest, ASmallCallerBufferGetsALineInPieces) {
  ServeManifest("abcdefghij\n");
  CInternetSession session;
  std::unique_ptr<CStdioFile> file(session.OpenURL((WebSandboxUrl() + "/sms/SmsVersion.txt").c_str()));
  ASSERT_TRUE(file);
  EXPECT_EQ(ReadLines(*file, 3, 5), (std::vector<std::string>{"abcd", "efgh", "ij\n"}));
}

TEST(InternetSessionTest, AnErrorPageIsReadLikeAnyFile) {
  ServeNoManifest();
  CInternetSession session;
  std::unique_ptr<CStdioFile> file(session.OpenURL((WebSandboxUrl() + "/sms/SmsVersion.txt").c_str()));
  ASSERT_TRUE(file);
  std::vector<std::string> lines = ReadLines(*file, 512, 256);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].rfind("<html>", 0), 0u);
}

TEST(InternetSessionTest, ThePagesAreServedOverHttpAndHttps) {
  CInternetSession session;
  for (const char* path :
       {"/admin/setting/", "/admin/service-info/", "/norvo_notice/view.php?seq_no=31182&page=1&gubun=&keyword=sms"}) {
    std::unique_ptr<CStdioFile> file(session.OpenURL((WebSandboxUrl() + path).c_str()));
    ASSERT_TRUE(file) << path;
    std::vector<std::string> lines = ReadLines(*file, 512, 4096);
    ASSERT_FALSE(lines.empty()) << path;
    EXPECT_EQ(lines[0].find("Not Found"), std::string::npos) << path;
  }
  // The HTTPS side uses the sandbox's own authority, which this session does not trust.
  std::string https = "https" + WebSandboxUrl().substr(4) + "/admin/setting/";
  try {
    delete session.OpenURL(https.c_str());
    ADD_FAILURE() << "an untrusted certificate was accepted";
  } catch (CInternetException* e) {
    EXPECT_EQ(e->m_dwError, static_cast<DWORD>(ERROR_INTERNET_INVALID_CA));
    e->Delete();
  }
}

// The manifest is read through the one HTTP stack: the authority named by NORVOSMS_CA_FILE is
// trusted here as for the API calls, and an https page may not send the read on in clear.
TEST(InternetSessionTest, HttpsTrustsTheConfiguredAuthority) {
  ServeManifest("[SERVER]\r\n");
  std::string https = "https" + WebSandboxUrl().substr(4) + "/sms/SmsVersion.txt";
  setenv("NORVOSMS_CA_FILE", (WebSandboxDir() / "ca.pem").c_str(), 1);
  CInternetSession session;
  try {
    std::unique_ptr<CStdioFile> file(
        session.OpenURL(https.c_str(), 1, INTERNET_FLAG_TRANSFER_ASCII | INTERNET_FLAG_RELOAD));
    ASSERT_TRUE(file);
    EXPECT_EQ(ReadLines(*file, 512, 256), std::vector<std::string>{"[SERVER]\r\n"});
  } catch (CInternetException* e) {
    ADD_FAILURE() << "error " << e->m_dwError;
    e->Delete();
  }
  unsetenv("NORVOSMS_CA_FILE");
}

TEST(InternetSessionTest, UnreachableServersAndBadAddressesThrow) {
  CInternetSession session;
  for (const char* url : {"http://127.0.0.1:1/sms/SmsVersion.txt", "not an address"}) {
    try {
      delete session.OpenURL(url);
      ADD_FAILURE() << url;
    } catch (CInternetException* e) {
      EXPECT_NE(e->m_dwError, 0u) << url;
      EXPECT_EQ(e->m_dwContext, 1u);
      e->Delete();
    }
  }
  EXPECT_EQ(session.OpenURL("ftp://127.0.0.1/sms/SmsVersion.txt"), nullptr);
}

// The manifest read works under the same deadline and answer cap as the API calls, and is refused
// the same way when one cannot be honoured: nothing is fetched.
TEST(InternetSessionTest, LimitsThatCannotBeHonouredFetchNothing) {
  ServeManifest("manifest\r\n");
  for (const char* name : {"NORVOSMS_TIMEOUT", "NORVOSMS_MAX_ANSWER"}) {
    for (const char* value : {"0", " -1", "2s", ""}) {
      SCOPED_TRACE(std::string(name) + "=" + value);
      setenv(name, value, 1);
      CInternetSession session;
      try {
        delete session.OpenURL((WebSandboxUrl() + "/sms/SmsVersion.txt").c_str());
        ADD_FAILURE() << "fetched";
      } catch (CInternetException* e) {
        EXPECT_EQ(e->m_dwError, static_cast<DWORD>(ERROR_INTERNET_INVALID_OPTION));
        e->Delete();
      }
      unsetenv(name);
    }
  }
}

TEST(ProcessEnvironmentTest, ExpandsKnownNamesAndKeepsTheRest) {
  setenv("NORVOSMS_TEST_PF", "C:\\Program Files", 1);
  unsetenv("NORVOSMS_TEST_UNSET");
  char out[64];
  const char* source = "%NORVOSMS_TEST_PF%\\x;%NORVOSMS_TEST_UNSET%;100%;%%";
  std::string expected = "C:\\Program Files\\x;%NORVOSMS_TEST_UNSET%;100%;%%";
  EXPECT_EQ(ExpandEnvironmentStringsA(source, out, sizeof out), expected.size() + 1);
  EXPECT_EQ(std::string(out), expected);
  char small[4] = "abc";
  EXPECT_EQ(ExpandEnvironmentStringsA(source, small, sizeof small), expected.size() + 1);
  EXPECT_EQ(std::string(small), "abc");  // untouched when it does not fit
}

TEST(ProcessEnvironmentTest, SetCurrentDirectoryTakesEitherSeparator) {
  namespace fs = std::filesystem;
  fs::path before = fs::current_path();
  fs::path dir = fs::temp_directory_path() / "norvosms-cwd-test" / "inner";
  fs::create_directories(dir);
  std::string windowsStyle = (dir.parent_path().string() + "\\inner");
  EXPECT_TRUE(SetCurrentDirectoryA(windowsStyle.c_str()));
  EXPECT_EQ(fs::current_path(), dir);
  EXPECT_FALSE(SetCurrentDirectoryA((dir / "missing").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(SetCurrentDirectoryA(""));
  fs::current_path(before);
}

}  // namespace
