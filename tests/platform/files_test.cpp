// Files: attributes and kinds, opening without waiting for a peer, reading, closing.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("norvosms-files-" + std::to_string(::getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir / "folder");
    std::ofstream(m_dir / "data.bin", std::ios::binary) << "0123456789";
    ASSERT_EQ(::mkfifo((m_dir / "pipe").c_str(), 0600), 0);
  }
  void TearDown() override { fs::remove_all(m_dir); }

  HANDLE Open(const fs::path& path, DWORD flags = FILE_ATTRIBUTE_NORMAL) {
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr);
  }
  fs::path m_dir;
};

TEST_F(FilesTest, AttributesTellFilesFoldersAndEverythingElseApart) {
  EXPECT_EQ(GetFileAttributesA((m_dir / "data.bin").c_str()), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(GetFileAttributesA((m_dir / "folder").c_str()), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesA((m_dir / "pipe").c_str()), FILE_ATTRIBUTE_DEVICE);
  EXPECT_EQ(GetFileAttributesA("/dev/zero"), FILE_ATTRIBUTE_DEVICE);
  std::string backslashed = m_dir.string() + "\\data.bin";
  EXPECT_EQ(GetFileAttributesA(backslashed.c_str()), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(GetFileAttributesA((m_dir / "missing").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesA(""), INVALID_FILE_ATTRIBUTES);
}

// The times and size a caller compares to notice that a file changed.
TEST_F(FilesTest, ExtendedAttributesGiveSizeAndTimesThatChangeWithTheFile) {
  const std::string path = (m_dir / "data.bin").string();
  WIN32_FILE_ATTRIBUTE_DATA before{}, after{};
  ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &before));
  EXPECT_EQ(before.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(before.nFileSizeLow, 10u);
  EXPECT_EQ(before.nFileSizeHigh, 0u);
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  const unsigned long long written = (static_cast<unsigned long long>(before.ftLastWriteTime.dwHighDateTime) << 32) |
                                     before.ftLastWriteTime.dwLowDateTime;
  EXPECT_EQ(written / 10000000ull - 11644473600ull, static_cast<unsigned long long>(info.st_mtim.tv_sec));
  // A change of permissions alone shows in the stand-in creation time.
  ::chmod(path.c_str(), 0400);
  ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &after));
  EXPECT_EQ(after.dwFileAttributes, FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(after.nFileSizeLow, 10u);
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  const unsigned long long changed =
      (static_cast<unsigned long long>(after.ftCreationTime.dwHighDateTime) << 32) | after.ftCreationTime.dwLowDateTime;
  EXPECT_EQ(changed % 10000000ull, static_cast<unsigned long long>(info.st_ctim.tv_nsec) / 100);

  WIN32_FILE_ATTRIBUTE_DATA data{};
  EXPECT_FALSE(GetFileAttributesExA((m_dir / "missing").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(GetFileAttributesExA(path.c_str(), GetFileExMaxInfoLevel, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, nullptr));
  ASSERT_TRUE(GetFileAttributesExA((m_dir / "pipe").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DEVICE);
  EXPECT_EQ(data.nFileSizeLow, 0u);
}

TEST_F(FilesTest, ARegularFileReadsToItsEndAndCloses) {
  HANDLE file = Open(m_dir / "data.bin");
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileType(file), FILE_TYPE_DISK);
  LARGE_INTEGER size{};
  ASSERT_TRUE(GetFileSizeEx(file, &size));
  EXPECT_EQ(size.QuadPart, 10);
  char buffer[8];
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(std::string(buffer, got), "01234567");
  ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(std::string(buffer, got), "89");
  ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(CloseHandle(file));
  // A closed handle, and handles of no file, are refused.
  EXPECT_FALSE(ReadFile(file, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(GetFileType(file), FILE_TYPE_UNKNOWN);
  EXPECT_FALSE(CloseHandle(file));
  EXPECT_FALSE(GetFileSizeEx(INVALID_HANDLE_VALUE, &size));
}

// Nothing here opens for writing or creates: such calls are refused, not half done.
TEST_F(FilesTest, OnlyExistingFilesOpenForReading) {
  EXPECT_EQ(Open(m_dir / "missing"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(CreateFileA((m_dir / "new").c_str(), GENERIC_READ, 0, nullptr, 1 /* CREATE_NEW */, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(fs::exists(m_dir / "new"));
  EXPECT_EQ(Open(m_dir / "folder"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  HANDLE folder = Open(m_dir / "folder", FILE_FLAG_BACKUP_SEMANTICS);
  ASSERT_NE(folder, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(folder));
}

// A FIFO without a writer would hold a blocking open for good; a device never ends.
TEST_F(FilesTest, PipesAndDevicesOpenAtOnceAndShowTheirKind) {
  HANDLE pipe = Open(m_dir / "pipe");
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileType(pipe), FILE_TYPE_PIPE);
  char buffer[4];
  DWORD got = 7;
  EXPECT_TRUE(ReadFile(pipe, buffer, sizeof buffer, &got, nullptr));  // no writer: the end at once
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(CloseHandle(pipe));
  HANDLE zero = Open("/dev/zero");
  ASSERT_NE(zero, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileType(zero), FILE_TYPE_CHAR);
  EXPECT_TRUE(CloseHandle(zero));
}

}  // namespace
