// Listed files against a folder holding files, a folder, a FIFO and links to devices and to
// files that report a size other than what they hold.
#include "updater/file_routines.h"
#include "updater/local_file_check.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class LocalFileCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("norvosms-local-" + std::to_string(::getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir / "program" / "folder");
    ASSERT_EQ(::mkfifo((m_dir / "program" / "pipe").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", m_dir / "program" / "zero");
    fs::create_symlink("/proc/self/status", m_dir / "program" / "status");
  }
  void TearDown() override { fs::remove_all(m_dir); }

  std::string Folder() const { return (m_dir / "program").string() + "/"; }

  FileEntry Entry(const std::string& name, const std::string& bytes, int listedSize) {
    fs::path path = m_dir / "program" / name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    DWORD crc = 0;
    EXPECT_EQ(GetFileCrc(path.c_str(), &crc), 0);
    return FileEntry{name, listedSize, crc, 0};
  }

  int Checked(FileEntry entry, LocalFileCheck& check) {
    entry.upToDate = 1;  // must be set, whichever way it goes
    check.Check(entry);
    return entry.upToDate;
  }
  fs::path m_dir;
};

TEST_F(LocalFileCheckTest, OnlyAListedRegularFileOfTheListedSizeIsCurrent) {
  LocalFileCheck check(Folder());
  EXPECT_EQ(Checked(Entry("a.dll", "abc", 3), check), 1);
  EXPECT_EQ(Checked(FileEntry{"a.dll\\", 3, 0xCADBBE3Du, 0}, check), 0);
  EXPECT_EQ(Checked(Entry("big.dll", "abcd", 3), check), 0);  // larger than listed
  EXPECT_EQ(Checked(Entry("small.dll", "ab", 3), check), 0);
  EXPECT_EQ(Checked(Entry("neg.dll", "", -1), check), 0);
  FileEntry wrongSum = Entry("sum.dll", "abc", 3);
  wrongSum.checksum ^= 1;
  EXPECT_EQ(Checked(wrongSum, check), 0);
  EXPECT_EQ(Checked(FileEntry{"missing.dll", 0, 0xFFFFFFFFu, 0}, check), 0);
}

// Each of these would either hang a blocking open or read or never end; none may count as current.
TEST_F(LocalFileCheckTest, FoldersPipesAndDevicesAreNotCurrent) {
  LocalFileCheck check(Folder());
  for (const char* name : {"folder", "pipe", "zero"})
    EXPECT_EQ(Checked(FileEntry{name, 0, 0xFFFFFFFFu, 0}, check), 0) << name;
  // A regular file that says it is empty but holds more: only one byte past the size is read.
  EXPECT_EQ(Checked(FileEntry{"status", 0, 0xFFFFFFFFu, 0}, check), 0);
}

TEST_F(LocalFileCheckTest, NamesLeadingOutOfTheFolderAreNeverOpened) {
  std::ofstream(m_dir / "outside.dll", std::ios::binary) << "abc";
  ASSERT_EQ(::mkfifo((m_dir / "outside.pipe").c_str(), 0600), 0);
  LocalFileCheck check(Folder());
  std::string absolute = (m_dir / "outside.dll").string();
  for (const std::string& name :
       {std::string("../outside.dll"), std::string("..\\outside.dll"), std::string("folder/../../outside.dll"),
        absolute, "C:" + absolute, std::string("../outside.pipe")})
    EXPECT_EQ(Checked(FileEntry{name, 3, 0xCADBBE3Du, 0}, check), 0) << name;
}

// When the program's folder is not known, the current directory does not stand in for it.
TEST_F(LocalFileCheckTest, WithoutAFolderNothingIsCurrent) {
  FileEntry entry = Entry("a.dll", "abc", 3);
  fs::path cwd = fs::current_path();
  fs::current_path(m_dir / "program");
  LocalFileCheck check("");
  int upToDate = Checked(entry, check);
  fs::current_path(cwd);
  EXPECT_EQ(upToDate, 0);
}

TEST_F(LocalFileCheckTest, ChecksummingStopsAtTheByteBudget) {
  LocalFileCheck check(Folder(), 10);
  FileEntry first = Entry("one.dll", "123456", 6);
  FileEntry second = Entry("two.dll", "123456", 6);
  EXPECT_EQ(Checked(first, check), 1);
  EXPECT_EQ(Checked(second, check), 0);  // 7 more bytes would pass the budget
  EXPECT_EQ(Checked(Entry("empty.dll", "", 0), check), 1);
}

}  // namespace
