// The registry on SQLite: values and keys, the user's hive's mode, and durability when a
// writer is killed or two processes write at once.
#include <gtest/gtest.h>
#include <windows.h>
#include <winreg.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/norvosms-reg-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    setenv("NORVOSMS_REGISTRY_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("NORVOSMS_REGISTRY_DIR");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  static HKEY Create(HKEY root, const char* path, DWORD* disposition = nullptr) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition), ERROR_SUCCESS);
    return key;
  }
  static std::string QueryString(HKEY key, const char* name) {
    char buffer[256] = {};
    DWORD size = sizeof buffer, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
      return "<absent>";
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    return std::string(buffer);
  }

  std::string dir_;
};

TEST_F(RegistryTest, StoresStringsBinaryAndNumbers) {
  DWORD disposition = 0;
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\NorvoSMS\\App\\Settings", &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));

  EXPECT_EQ(RegSetValueExA(key, "text", 0, REG_SZ, reinterpret_cast<const BYTE*>("hello"), 6), ERROR_SUCCESS);
  // Without its terminating zero the string still reads back terminated.
  EXPECT_EQ(RegSetValueExA(key, "bare", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("/opt/x/"), 8), ERROR_SUCCESS);
  const BYTE blob[] = {0x00, 0x41, 0x00, 0xFF, 0x00};
  EXPECT_EQ(RegSetValueExA(key, "blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, "empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
  DWORD number = 100;
  EXPECT_EQ(RegSetValueExA(key, "IsTest", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), 4), ERROR_SUCCESS);
  RegCloseKey(key);

  HKEY read = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "software\\norvosms\\APP\\settings", 0, KEY_READ, &read), ERROR_SUCCESS);
  EXPECT_EQ(QueryString(read, "text"), "hello");
  EXPECT_EQ(QueryString(read, "TEXT"), "hello");
  EXPECT_EQ(QueryString(read, "bare"), "abc");
  EXPECT_EQ(QueryString(read, ""), "/opt/x/");
  EXPECT_EQ(QueryString(read, "missing"), "<absent>");

  BYTE out[16] = {};
  DWORD size = sizeof out, type = 0;
  ASSERT_EQ(RegQueryValueExA(read, "blob", nullptr, &type, out, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  ASSERT_EQ(size, sizeof blob);
  EXPECT_EQ(std::memcmp(out, blob, sizeof blob), 0);

  size = sizeof out;
  ASSERT_EQ(RegQueryValueExA(read, "empty", nullptr, &type, out, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 0u);

  DWORD got = 0;
  size = sizeof got;
  ASSERT_EQ(RegQueryValueExA(read, "IsTest", nullptr, &type, reinterpret_cast<BYTE*>(&got), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(got, 100u);

  // Size query, and a buffer that is too small.
  size = 0;
  EXPECT_EQ(RegQueryValueExA(read, "blob", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, sizeof blob);
  size = 2;
  EXPECT_EQ(RegQueryValueExA(read, "blob", nullptr, nullptr, out, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, sizeof blob);

  // A read-only handle cannot write.
  EXPECT_EQ(RegSetValueExA(read, "text", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), ERROR_ACCESS_DENIED);
  RegCloseKey(read);
}

TEST_F(RegistryTest, KeysHandlesAndHives) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Nothing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);

  HKEY parent = Create(HKEY_CURRENT_USER, "Software\\A");
  DWORD disposition = 0;
  HKEY child = Create(parent, "B\\C", &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  RegCloseKey(Create(HKEY_CURRENT_USER, "Software\\A\\B\\C", &disposition));
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\A\\B", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);

  // The two hives are apart.
  EXPECT_EQ(RegSetValueExA(child, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("user"), 5), ERROR_SUCCESS);
  HKEY machine = Create(HKEY_LOCAL_MACHINE, "Software\\A\\B\\C");
  EXPECT_EQ(QueryString(machine, "v"), "<absent>");
  RegCloseKey(machine);

  EXPECT_EQ(RegDeleteValueA(child, "v"), ERROR_SUCCESS);
  EXPECT_EQ(QueryString(child, "v"), "<absent>");
  EXPECT_EQ(RegDeleteValueA(child, "v"), ERROR_FILE_NOT_FOUND);

  RegCloseKey(child);
  RegCloseKey(parent);
  EXPECT_EQ(RegCloseKey(child), ERROR_INVALID_HANDLE);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(child, "v", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "x", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
  std::string longName(300, 'k');
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, longName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryTest, UserHiveIsOwnerOnly) {
  RegCloseKey(Create(HKEY_CURRENT_USER, "Software\\X"));
  struct stat st {};
  ASSERT_EQ(stat((dir_ + "/user.db").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// Writes "v<i>" = i in a loop and tells the parent each index once the call has returned.
[[noreturn]] void WriterLoop(int ackFd, const char* prefix, int count) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Durable", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    _exit(2);
  for (int i = 0; count < 0 || i < count; ++i) {
    std::string name = prefix + std::to_string(i);
    DWORD value = static_cast<DWORD>(i);
    if (RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4) != ERROR_SUCCESS) _exit(3);
    if (ackFd >= 0 && write(ackFd, &i, sizeof i) != sizeof i) _exit(4);
  }
  _exit(0);
}

int MissingValues(const char* prefix, int count) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Durable", 0, KEY_READ, &key) != ERROR_SUCCESS) return count;
  int missing = 0;
  for (int i = 0; i < count; ++i) {
    std::string name = prefix + std::to_string(i);
    DWORD value = 0, size = 4;
    if (RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        value != static_cast<DWORD>(i))
      ++missing;
  }
  RegCloseKey(key);
  return missing;
}

TEST_F(RegistryTest, WriterKilledMidLoopLosesNoReturnedWrite) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(fds[0]);
    WriterLoop(fds[1], "v", -1);
  }
  close(fds[1]);
  int last = -1, index = 0;
  while (last < 150 && read(fds[0], &index, sizeof index) == sizeof index) last = index;
  ASSERT_EQ(kill(child, SIGKILL), 0);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status));
  while (read(fds[0], &index, sizeof index) == sizeof index) last = index;  // acks still in the pipe
  close(fds[0]);
  ASSERT_GE(last, 150);

  EXPECT_EQ(MissingValues("v", last + 1), 0);
  // The hive still takes writes after the crash.
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Durable");
  EXPECT_EQ(RegSetValueExA(key, "after", 0, REG_SZ, reinterpret_cast<const BYTE*>("ok"), 3), ERROR_SUCCESS);
  EXPECT_EQ(QueryString(key, "after"), "ok");
  RegCloseKey(key);
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kCount = 60;
  pid_t a = fork();
  ASSERT_GE(a, 0);
  if (a == 0) WriterLoop(-1, "a", kCount);
  pid_t b = fork();
  ASSERT_GE(b, 0);
  if (b == 0) WriterLoop(-1, "b", kCount);
  int status = 0;
  waitpid(a, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  waitpid(b, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(MissingValues("a", kCount), 0);
  EXPECT_EQ(MissingValues("b", kCount), 0);
}

}  // namespace
