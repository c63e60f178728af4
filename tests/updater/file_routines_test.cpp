// The file checksum and the folder routines of the update check.
#include "updater/file_routines.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

class FileRoutinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() /
            ("norvosms-files-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    m_cwd = fs::current_path();
    fs::current_path(m_dir);
  }
  void TearDown() override {
    fs::current_path(m_cwd);
    fs::remove_all(m_dir);
  }
  DWORD Crc(const std::string& bytes) {
    fs::path path = m_dir / "data.bin";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    DWORD crc = 0;
    EXPECT_EQ(GetFileCrc(path.c_str(), &crc), 0);
    return crc;
  }
  fs::path m_dir, m_cwd;
};

TEST_F(FileRoutinesTest, ChecksumIsTheComplementOfCrc32) {
  EXPECT_EQ(Crc("abc"), 0xCADBBE3Du);
  EXPECT_EQ(Crc(""), 0xFFFFFFFFu);
  EXPECT_EQ(Crc("123456789"), ~0xCBF43926u);
  // Exact multiples of the block size and lengths just past them agree with the plain sum.
  std::string data;
  for (int i = 0; i < 8193; ++i) data += static_cast<char>((i * 31 + 7) & 0xFF);
  DWORD reference = 0xFFFFFFFFu;
  for (size_t n : {size_t{4096}, size_t{8192}, size_t{8193}}) {
    reference = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
      reference ^= static_cast<unsigned char>(data[i]);
      for (int k = 0; k < 8; ++k) reference = (reference & 1) ? 0xEDB88320u ^ (reference >> 1) : reference >> 1;
    }
    EXPECT_EQ(Crc(data.substr(0, n)), reference) << n;
  }
  DWORD untouched = 42;
  EXPECT_EQ(GetFileCrc((m_dir / "missing").c_str(), &untouched), -1);
  EXPECT_EQ(untouched, 42u);
}

// The local file check reads one byte past the listed size and no further.
TEST_F(FileRoutinesTest, ChecksumOfAnOpenFileTakesNoMoreThanAsked) {
  std::ofstream(m_dir / "big.bin", std::ios::binary) << std::string(5000, 'z');
  HANDLE file = CreateFileA((m_dir / "big.bin").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD crc = 0;
  EXPECT_EQ(ChecksumOpenFile(file, 4097, &crc), 4097);
  EXPECT_EQ(crc, Crc(std::string(4097, 'z')));
  EXPECT_EQ(ChecksumOpenFile(file, 4097, &crc), 903);  // the rest, from where the first stopped
  EXPECT_EQ(ChecksumOpenFile(file, 0, &crc), 0);
  EXPECT_EQ(crc, 0xFFFFFFFFu);
  CloseHandle(file);
  // A device never ends; the limit ends the reading.
  HANDLE zero = CreateFileA("/dev/zero", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(zero, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ChecksumOpenFile(zero, 10000, &crc), 10000);
  EXPECT_EQ(crc, Crc(std::string(10000, '\0')));
  CloseHandle(zero);
}

TEST_F(FileRoutinesTest, EnsureFolderMakesEveryLevelButTheLast) {
  EXPECT_TRUE(EnsureFolder(m_dir.c_str(), "a/b/c.txt"));
  EXPECT_TRUE(fs::is_directory(m_dir / "a" / "b"));
  EXPECT_FALSE(fs::exists(m_dir / "a" / "b" / "c.txt"));
  EXPECT_TRUE(EnsureFolder(m_dir.c_str(), "single"));
  EXPECT_FALSE(fs::exists(m_dir / "single"));
  EXPECT_TRUE(EnsureFolder(m_dir.c_str(), "x\\y\\z"));  // no '/' to split at
  EXPECT_FALSE(fs::exists(m_dir / "x"));
  // An existing path makes nothing, even where the base path differs from the current folder.
  fs::create_directories(m_dir / "base" / "p" / "q");
  EXPECT_TRUE(EnsureFolder((m_dir / "base").c_str(), "p/q/"));
  EXPECT_FALSE(fs::exists(m_dir / "p"));
}

TEST_F(FileRoutinesTest, OverlongPathsAreRefused) {
  std::string deep;
  while (deep.size() < kEnsureFolderPathLimit) deep += "dd/";
  EXPECT_FALSE(EnsureFolder(m_dir.c_str(), deep.c_str()));
  EXPECT_FALSE(fs::exists(m_dir / "dd"));
}

TEST_F(FileRoutinesTest, CreateFolderPathAndAppendBackslash) {
  CreateFolderPath("k/l/m", 0);
  EXPECT_TRUE(fs::is_directory(m_dir / "k" / "l"));
  EXPECT_FALSE(fs::exists(m_dir / "k" / "l" / "m"));
  CreateFolderPath("k/l/m", 100);
  std::string path = "C:\\dir";
  AppendBackslash(path);
  EXPECT_EQ(path, "C:\\dir\\");
  AppendBackslash(path);
  EXPECT_EQ(path, "C:\\dir\\");
  path = "/usr/";
  AppendBackslash(path);
  EXPECT_EQ(path, "/usr/");
}

}  // namespace
