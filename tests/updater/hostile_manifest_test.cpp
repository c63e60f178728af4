// The update check against manifests written by whoever sits on the network path: names that
// lead out of the program folder, devices, FIFOs, folders, files larger than listed, and install
// folders that climb out of %ProgramFiles%. Outside the program folder lie a file that matches
// its entry and a FIFO that would hold whoever opens it; an inotify watch shows whether either
// was opened at all.
#include "version_check_fixture.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Ends the test program with a message when a check hangs, instead of waiting for CTest's limit.
class HangGuard {
 public:
  explicit HangGuard(const char* what)
      : m_thread([this, what] {
          std::unique_lock<std::mutex> lock(m_mutex);
          if (!m_done.wait_for(lock, std::chrono::seconds(20), [this] { return m_bDone; })) {
            std::fprintf(stderr, "hangs: %s\n", what);
            std::_Exit(1);
          }
        }) {}
  ~HangGuard() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_bDone = true;
    }
    m_done.notify_all();
    m_thread.join();
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_done;
  bool m_bDone = false;
  std::thread m_thread;
};

class HostileManifestTest : public VersionCheckTest {
 protected:
  void SetUp() override {
    VersionCheckTest::SetUp();
    m_outside = fs::temp_directory_path() / ("norvosms-outside-" + std::to_string(::getpid()));
    fs::remove_all(m_outside);
    fs::create_directories(m_outside);
    std::ofstream(m_outside / "secret.dll", std::ios::binary) << "abc";  // listed as 3, cadbbe3d
    ASSERT_EQ(::mkfifo((m_outside / "trap").c_str(), 0600), 0);
    m_watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(m_watch, 0);
    ASSERT_GE(::inotify_add_watch(m_watch, m_outside.c_str(), IN_OPEN | IN_ACCESS), 0);
    m_pf = fs::temp_directory_path() / ("norvosms-pf-" + std::to_string(::getpid()));
    fs::remove_all(m_pf);
    fs::create_directories(m_pf);
    setenv("ProgramFiles", m_pf.c_str(), 1);
  }
  void TearDown() override {
    ::close(m_watch);
    unsetenv("ProgramFiles");
    fs::remove_all(m_outside);
    fs::remove_all(m_pf);
    VersionCheckTest::TearDown();
  }

  // Names of files outside the folder, in each way a manifest could write them.
  std::vector<std::string> WaysOut(const std::string& file) const {
    std::string climb;
    for (const auto& part : fs::path(RunningProgramFolder()).parent_path()) {
      if (part != "/") climb += "../";
    }
    std::string relative = (m_outside / file).string().substr(1);
    std::string backslashed = climb + relative;
    for (char& c : backslashed)
      if (c == '/') c = '\\';
    std::string absolute = (m_outside / file).string();
    return {climb + relative, backslashed,          m_filesDir + "/../../" + climb + relative, absolute,
            "C:" + absolute,  "C:\\" + backslashed, "\\\\127.0.0.1\\c$\\" + relative,          "/" + climb + relative};
  }

  // Opens and reads seen in the outside folder since the watch began.
  int OutsideOpens() const {
    alignas(inotify_event) char buffer[4096];
    int opens = 0;
    ssize_t got = 0;
    while ((got = ::read(m_watch, buffer, sizeof buffer)) > 0)
      for (char* at = buffer; at < buffer + got;
           at += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(at)->len)
        ++opens;
    return opens;
  }

  bool TimedCheck(CXVersion& version, Clock::duration& took) {
    HangGuard guard(m_name.c_str());
    Clock::time_point start = Clock::now();
    bool result = Check(version);
    took = Clock::now() - start;
    return result;
  }

  fs::path m_outside, m_pf;
  int m_watch = -1;
};

TEST_F(HostileManifestTest, NoFileOutsideTheProgramFolderIsOpened) {
  WriteRecord({.installedVersion = 5});
  for (const std::string& name : WaysOut("secret.dll")) m_manifest.crcEntries.push_back(name + "\t3\tcadbbe3d");
  for (const std::string& name : WaysOut("trap")) m_manifest.crcEntries.push_back(name + "\t0\tffffffff");
  m_manifest.crcEntries.push_back("../../../../../../../../../../dev/zero\t0\tffffffff");
  m_manifest.crcEntries.push_back("..\\..\\..\\..\\..\\..\\..\\..\\dev\\zero\t0\tffffffff");
  m_manifest.crcEntries.push_back("/dev/zero\t0\tffffffff");
  m_manifest.crcEntries.push_back(LocalFile("current.dll", "current"));  // still checked after them all
  const size_t listed = m_manifest.crcEntries.size();

  CXVersion version;
  Clock::duration took{};
  ASSERT_TRUE(TimedCheck(version, took));
  EXPECT_LT(took, std::chrono::seconds(1));
  EXPECT_EQ(OutsideOpens(), 0);
  ASSERT_EQ(version.SelectedCount(), static_cast<int>(listed));
  for (size_t i = 0; i + 1 < listed; ++i)
    EXPECT_EQ(version.SelectedList()[i].upToDate, 0) << version.SelectedList()[i].name;
  EXPECT_EQ(version.SelectedList()[listed - 1].upToDate, 1);
  EXPECT_EQ(Boxes(), "");
  // Reading the FIFO the usual way would still wait for a writer: nothing has touched it.
  EXPECT_TRUE(fs::is_fifo(m_outside / "trap"));
}

// In the program folder itself: a FIFO, a link to a device, a folder, a file larger than listed,
// and a file that reports a size of 0 but holds more. Each is not current, at once.
TEST_F(HostileManifestTest, OnlyRegularFilesOfTheListedSizeAreChecksummed) {
  WriteRecord({.installedVersion = 5});
  fs::path files = fs::path(RunningProgramFolder()) / m_filesDir;
  ASSERT_EQ(::mkfifo((files / "pipe.dll").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", files / "zero.dll");
  fs::create_directories(files / "folder.dll");
  fs::create_symlink("/proc/self/maps", files / "maps.dll");
  m_manifest.crcEntries = {m_filesDir + "/pipe.dll\t0\tffffffff",
                           m_filesDir + "/zero.dll\t0\tffffffff",
                           m_filesDir + "/folder.dll\t0\tffffffff",
                           m_filesDir + "/maps.dll\t0\tffffffff",
                           LocalFile("larger.dll", "larger than listed", -1),
                           LocalFile("current.dll", "current")};
  CXVersion version;
  Clock::duration took{};
  ASSERT_TRUE(TimedCheck(version, took));
  EXPECT_LT(took, std::chrono::seconds(1));
  ASSERT_EQ(version.SelectedCount(), 6);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(version.SelectedList()[i].upToDate, 0) << version.SelectedList()[i].name;
  EXPECT_EQ(version.SelectedList()[5].upToDate, 1);
  fs::remove(files / "pipe.dll");
}

// A full setup is still decided; only the folder outside %ProgramFiles% is neither made nor entered.
TEST_F(HostileManifestTest, AnInstallFolderOutsideProgramFilesIsNeverMade) {
  fs::path escape = fs::temp_directory_path() / ("norvosms-escape-" + std::to_string(::getpid()));
  fs::remove_all(escape);
  std::string climb = "../" + escape.filename().string() + "/x/y/";
  std::string backclimb = "..\\" + escape.filename().string() + "\\x\\y\\";
  for (const std::string& folder :
       {"C:\\Program Files/" + climb, "C:\\Program Files\\" + backclimb, "C:\\Program Files/Norvo/../../" + climb,
        "C:\\Program Files/" + escape.string() + "/x/y/", "C:\\Program Files//" + escape.string().substr(1) + "/x/",
        "C:\\Program Files/C:" + escape.string() + "/x/"}) {
    for (const char* root : {"HKCU", "NOTHING"}) {
      SCOPED_TRACE(folder + " " + root);
      WriteRecord({.installedVersion = 2});
      m_manifest.root = root;
      m_manifest.defaultFolder = folder;
      m_manifest.crcEntries = {m_filesDir + "/missing.dll\t3\tcadbbe3d"};
      CXVersion version;
      Clock::duration took{};
      ASSERT_TRUE(TimedCheck(version, took));
      EXPECT_LT(took, std::chrono::seconds(1));
      EXPECT_FALSE(fs::exists(escape));
      EXPECT_TRUE(fs::is_empty(m_pf));
      EXPECT_EQ(fs::current_path(), m_cwd);
      ASSERT_EQ(version.SelectedCount(), 1);
      EXPECT_EQ(version.SelectedList()[0].upToDate, 0);
      if (std::string(root) == "HKCU") {
        EXPECT_EQ(version.SelectedList()[0].name, "NorvoSMSSetup.exe");  // the full setup stands
        EXPECT_EQ(version.ProgramFolder(), "");
      } else {
        EXPECT_EQ(version.ProgramFolder(), "\\");
      }
      fs::remove_all(escape);
    }
  }
  // The same rule keeps a folder that stays inside.
  m_manifest.root = "HKCU";
  m_manifest.defaultFolder = "C:\\Program Files/Norvo/NorvoSMS/";
  CXVersion version;
  ASSERT_TRUE(Check(version));
  EXPECT_TRUE(fs::is_directory(m_pf / "Norvo" / "NorvoSMS"));
  EXPECT_EQ(version.ProgramFolder(), m_pf.string() + "/Norvo/NorvoSMS/");
}

// The sandbox's built-in hostile manifest, as the desktop program gets it with
// NORVOSMS_SANDBOX_MANIFEST=hostile: an update is due, and nothing outside was touched.
TEST_F(HostileManifestTest, TheSandboxsHostileManifestMeansAnUpdate) {
  const char* source = std::getenv("NORVOSMS_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  ServeManifest(ReadFile(fs::path(source) / "sandbox" / "manifests" / "hostile.txt"));
  fs::path escaped = fs::temp_directory_path() / "norvosms-escaped";
  fs::remove_all(escaped);
  CXVersion version;
  HangGuard guard("the built-in hostile manifest");
  Clock::time_point start = Clock::now();
  ASSERT_TRUE(version.CheckVersion(kOwner, (WebSandboxUrl() + kManifestPath).c_str(), 0));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  ASSERT_GE(version.SelectedCount(), 1);
  EXPECT_EQ(version.SelectedList()[0].upToDate, 0);
  EXPECT_FALSE(fs::exists(escaped));
  EXPECT_EQ(fs::current_path(), m_cwd);
  EXPECT_EQ(Boxes(), "");
}

}  // namespace
