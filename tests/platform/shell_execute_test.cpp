#include <shellapi.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

INT_PTR Code(HINSTANCE result) { return reinterpret_cast<INT_PTR>(result); }

std::string ReadWhenThere(const fs::path& path, int timeoutMs = 5000) {
  for (int waited = 0; waited < timeoutMs; waited += 10) {
    if (fs::exists(path)) {
      std::ifstream in(path);
      std::stringstream text;
      text << in.rdbuf();
      return text.str();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return "(nothing written)";
}

class ShellExecuteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("norvosms_shell_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(folder / "work");
    // Writes its working folder and each argument in brackets to the file named by its first argument.
    recorder = folder / "recorder.sh";
    std::ofstream(recorder) << "#!/bin/sh\nout=$1\nshift\n{ pwd; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; } "
                               "> \"$out.part\" && mv \"$out.part\" \"$out\"\n";
    fs::permissions(recorder, fs::perms::owner_all);
    unsetenv("NORVOSMS_SHELL_LOG");
    unsetenv("BROWSER");
  }
  void TearDown() override {
    unsetenv("NORVOSMS_SHELL_LOG");
    unsetenv("BROWSER");
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  fs::path folder;
  fs::path recorder;
};

TEST_F(ShellExecuteTest, StartsAProgramWithItsParametersInItsWorkingFolder) {
  fs::path out = folder / "out.txt";
  std::string parameters = out.string() + " \"two words\" plain a\\\"b \"x \"\"y\"\" z\" back\\\\slash\\";
  HINSTANCE result =
      ShellExecuteA(0, "open", recorder.c_str(), parameters.c_str(), (folder / "work").c_str(), SW_SHOWNORMAL);
  EXPECT_GT(Code(result), 32);
  EXPECT_EQ(ReadWhenThere(out),
            (folder / "work").string() + "\n[two words]\n[plain]\n[a\"b]\n[x \"y\" z]\n[back\\\\slash\\]\n");
}

TEST_F(ShellExecuteTest, AcceptsBackslashesAndDoubledSeparatorsInThePath) {
  std::string windowsStyle = folder.string() + "\\\\recorder.sh";
  for (char& c : windowsStyle)
    if (c == '/') c = '\\';
  fs::path out = folder / "out2.txt";
  EXPECT_GT(Code(ShellExecuteA(0, nullptr, windowsStyle.c_str(), out.c_str(), nullptr, SW_SHOWNORMAL)), 32);
  EXPECT_EQ(ReadWhenThere(out), fs::current_path().string() + "\n");
}

TEST_F(ShellExecuteTest, FailuresAreTheShellsErrorValues) {
  fs::path plain = folder / "plain.txt";
  std::ofstream(plain) << "not a program";
  EXPECT_EQ(Code(ShellExecuteA(0, "open", (folder / "missing").c_str(), nullptr, nullptr, SW_SHOWNORMAL)), SE_ERR_FNF);
  EXPECT_EQ(Code(ShellExecuteA(0, "open", (folder / "no" / "prog").c_str(), nullptr, nullptr, SW_SHOWNORMAL)),
            SE_ERR_PNF);
  EXPECT_EQ(Code(ShellExecuteA(0, "open", recorder.c_str(), nullptr, (folder / "nowhere").c_str(), SW_SHOWNORMAL)),
            SE_ERR_PNF);
  EXPECT_EQ(Code(ShellExecuteA(0, "open", plain.c_str(), nullptr, nullptr, SW_SHOWNORMAL)), SE_ERR_NOASSOC);
  EXPECT_EQ(Code(ShellExecuteA(0, "print", recorder.c_str(), nullptr, nullptr, SW_SHOWNORMAL)), SE_ERR_NOASSOC);
  EXPECT_EQ(Code(ShellExecuteA(0, "open", nullptr, nullptr, nullptr, SW_SHOWNORMAL)), SE_ERR_FNF);
  EXPECT_EQ(Code(ShellExecuteA(0, "open", "", nullptr, nullptr, SW_SHOWNORMAL)), SE_ERR_FNF);
  EXPECT_EQ(Code(ShellExecuteA(0, "open", "norvosms-no-such-program-anywhere", nullptr, nullptr, SW_SHOWNORMAL)),
            SE_ERR_FNF);
}

TEST_F(ShellExecuteTest, WebPagesGoToTheBrowserNamedByBrowser) {
  fs::path out = folder / "browser.txt";
  std::string browser = recorder.string() + " " + out.string() + " --new-window %s";
  setenv("BROWSER", browser.c_str(), 1);
  EXPECT_GT(Code(ShellExecuteA(0, "open", "https://127.0.0.1:8380/p?a=1&b=", nullptr, nullptr, SW_SHOWNORMAL)), 32);
  EXPECT_EQ(ReadWhenThere(out), fs::current_path().string() + "\n[--new-window]\n[https://127.0.0.1:8380/p?a=1&b=]\n");
}

TEST_F(ShellExecuteTest, InternetExplorerWithAnAddressOpensTheBrowser) {
  fs::path out = folder / "iexplore.txt";
  setenv("BROWSER", (recorder.string() + " " + out.string()).c_str(), 1);
  EXPECT_GT(
      Code(ShellExecuteA(0, "open", "IEXPLORE.EXE", " http://127.0.0.1:8380/admin/setting/ ", nullptr, SW_SHOWNORMAL)),
      32);
  EXPECT_EQ(ReadWhenThere(out), fs::current_path().string() + "\n[http://127.0.0.1:8380/admin/setting/]\n");
  EXPECT_EQ(Code(ShellExecuteA(0, "open", "IEXPLORE.EXE", nullptr, nullptr, SW_SHOWNORMAL)), SE_ERR_FNF);
}

TEST_F(ShellExecuteTest, TheLogRecordsEveryCallAndOpensNoWebPage) {
  fs::path log = folder / "shell.log";
  fs::path out = folder / "opened.txt";
  setenv("NORVOSMS_SHELL_LOG", log.c_str(), 1);
  setenv("BROWSER", (recorder.string() + " " + out.string()).c_str(), 1);
  EXPECT_GT(Code(ShellExecuteA(0, "open", "http://127.0.0.1:8380/x", nullptr, nullptr, SW_SHOWNORMAL)), 32);
  fs::path launched = folder / "launched.txt";
  std::string params = launched.string() + "\tmore";
  EXPECT_GT(Code(ShellExecuteA(0, "open", recorder.c_str(), params.c_str(), folder.c_str(), SW_SHOW)), 32);
  EXPECT_NE(ReadWhenThere(launched), "(nothing written)");  // programs still start
  EXPECT_FALSE(fs::exists(out));
  EXPECT_EQ(ReadWhenThere(log), "open\thttp://127.0.0.1:8380/x\t\t\t1\nopen\t" + recorder.string() + "\t" +
                                    launched.string() + "\\tmore\t" + folder.string() + "\t5\n");
}

// Run with NORVOSMS_ACP=949: the caller's names are CP949 bytes, the file system's are UTF-8.
TEST_F(ShellExecuteTest, NamesInTheAnsiCodePageReachTheProgramAsUtf8) {
  if (GetACP() != 949) GTEST_SKIP() << "needs the Korean ANSI code page";
  const char16_t korean[] = u"작업폴더";
  char ansi[64] = {};
  ASSERT_GT(WideCharToMultiByte(CP_ACP, 0, korean, -1, ansi, sizeof ansi, nullptr, nullptr), 0);
  ASSERT_EQ(std::string(ansi), "\xC0\xDB\xBE\xF7\xC6\xFA\xB4\xF5");  // CP949 bytes
  const std::string utf8Name = "\xEC\x9E\x91\xEC\x97\x85\xED\x8F\xB4\xEB\x8D\x94";
  fs::create_directories(folder / utf8Name);
  fs::path out = folder / "korean.txt";
  std::string parameters = out.string() + " " + ansi;
  std::string directory = folder.string() + "/" + ansi;
  EXPECT_GT(Code(ShellExecuteA(0, "open", recorder.c_str(), parameters.c_str(), directory.c_str(), SW_SHOWNORMAL)), 32);
  EXPECT_EQ(ReadWhenThere(out), (folder / utf8Name).string() + "\n[" + utf8Name + "]\n");
}

}  // namespace
