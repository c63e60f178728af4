// The registry from several threads of one process: one shared connection per hive, guarded.
#include <gtest/gtest.h>
#include <windows.h>
#include <winreg.h>

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

TEST(RegistryThreads, ConcurrentWritersAndReadersLoseNothing) {
  char pattern[] = "/tmp/norvosms-regt-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  setenv("NORVOSMS_REGISTRY_DIR", pattern, 1);
  constexpr int kThreads = 4, kValues = 25;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      HKEY key = nullptr;
      std::string path = "Software\\T" + std::to_string(t % 2);
      if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
          ERROR_SUCCESS)
        return;
      for (int i = 0; i < kValues; ++i) {
        DWORD value = static_cast<DWORD>(t * 1000 + i), got = 0, size = 4;
        std::string name = "v" + std::to_string(t) + "_" + std::to_string(i);
        RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4);
        RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&got), &size);
      }
      RegCloseKey(key);
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    HKEY key = nullptr;
    std::string path = "Software\\T" + std::to_string(t % 2);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    for (int i = 0; i < kValues; ++i) {
      DWORD got = 0, size = 4;
      std::string name = "v" + std::to_string(t) + "_" + std::to_string(i);
      ASSERT_EQ(RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&got), &size),
                ERROR_SUCCESS);
      EXPECT_EQ(got, static_cast<DWORD>(t * 1000 + i));
    }
    RegCloseKey(key);
  }
  unsetenv("NORVOSMS_REGISTRY_DIR");
  std::filesystem::remove_all(pattern);
}
