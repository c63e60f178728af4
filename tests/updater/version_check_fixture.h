// The update check's test fixture: manifests served by the sandbox web server, the installed
// program's record in a test hive, and the listed files beside the test program.
#pragma once

#include "updater/file_routines.h"
#include "updater/local_file_check.h"
#include "updater/manifest_reader.h"
#include "updater/service_hosts.h"
#include "updater/version_check.h"
#include "web_sandbox.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

inline constexpr HWND kOwner = 0x1234;

struct Record {
  const char* root = "HKCU";
  int installedVersion = -1;  // -1: no version value
  bool isTest = false;
  bool create = true;
  bool folder = true;  // the key's default value, the recorded program folder
};

struct ManifestText {
  std::string root = "HKCU";
  std::string keyPath;
  int verMin = 3;
  std::vector<std::string> versionEntries;
  std::vector<std::string> installEntries;
  std::vector<std::string> crcEntries;
  std::string defaultFolder = "C:\\Program Files/Norvo/NorvoSMS/";

  std::string Text() const {
    std::ostringstream out;
    out << "[REGESTRY]\nRegTree_RootKey = " << root << "\nRegTree_KeyPath = " << keyPath
        << "\nRegKey_ProgDir = ProgDir\nRegKey_ProgVer = ProgVer\nRegValue_ExeName = NorvoSMS.exe\n\n"
        << "[SERVER]\r\nSERVER_Setup = http://127.0.0.1/setup/\r\nSERVER_Patch = http://127.0.0.1/patch/\r\n\n"
        << "[SETUP]\nURL_SetupFile = http://127.0.0.1/setup/NorvoSMSSetup.exe\n"
        << "SetupFileCrc = NorvoSMSSetup.exe\t4096\tdeadbeef\nDefaultFolder = " << defaultFolder
        << "\nAutoButton = 1\n\n[PATCH]\nURL_PatchFile = http://127.0.0.1/patch/\n\n"
        << "[FILE_VERSION]\nVerMin = " << verMin << "\nVerMax = 9\nFileCnt = " << versionEntries.size() << "\n";
    for (const std::string& e : versionEntries) out << e << "\n";
    out << "\n[AddInstall]\nFileCnt = " << installEntries.size() << "\n";
    for (const std::string& e : installEntries) out << e << "\n";
    out << "\n[FILE_CRC]\nFileCnt = " << crcEntries.size() << "\n";
    for (const std::string& e : crcEntries) out << e << "\n";
    return out.str();
  }
};

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// One recorded message box line: type, caption and text, as the platform writes them.
inline std::string BoxLine(const std::string& caption, const std::string& text) {
  std::string escaped;
  for (char c : text) escaped += (c == '\n') ? std::string("\\n") : std::string(1, c);
  return "0\t" + caption + "\t" + escaped + "\n";
}

class VersionCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(WebSandboxUrl().empty()) << "the sandbox web server is not running";
    m_name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    m_keyPath = "Software\\NorvoSMSTest\\" + m_name;
    m_manifest.keyPath = m_keyPath;
    m_filesDir = "updater-check-files/" + m_name;
    fs::remove_all(fs::path(RunningProgramFolder()) / m_filesDir);
    fs::create_directories(fs::path(RunningProgramFolder()) / m_filesDir);
    m_boxLog = std::getenv("NORVOSMS_MESSAGEBOX_LOG");
    fs::remove(m_boxLog);
    m_cwd = fs::current_path();
  }
  void TearDown() override { fs::current_path(m_cwd); }

  // A file beside the test program; returns its manifest entry line.
  std::string LocalFile(const std::string& name, const std::string& bytes, int listedSizeDelta = 0) {
    fs::path path = fs::path(RunningProgramFolder()) / m_filesDir / name;
    std::ofstream(path, std::ios::binary) << bytes;
    DWORD crc = 0;
    EXPECT_EQ(GetFileCrc(path.c_str(), &crc), 0);
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", crc);
    return m_filesDir + "/" + name + "\t" + std::to_string(bytes.size() + listedSizeDelta) + "\t" + hex;
  }

  void WriteRecord(const Record& record) {
    HKEY root = std::string(record.root) == "HKCU" ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, m_keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char folder[] = "C:\\Program Files\\NorvoSMS";
    if (record.folder) RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder), sizeof folder);
    if (record.installedVersion >= 0) {
      DWORD v = static_cast<DWORD>(record.installedVersion);
      RegSetValueExA(key, "ProgVer", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
    }
    if (record.isTest) {
      DWORD v = 100;
      RegSetValueExA(key, "IsTest", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
    }
    RegCloseKey(key);
  }

  bool Check(CXVersion& version, int headerOnly = 0) {
    ServeManifest(m_manifest.Text());
    return version.CheckVersion(kOwner, (WebSandboxUrl() + kManifestPath).c_str(), headerOnly);
  }

  std::string Boxes() const { return ReadFile(m_boxLog); }

  std::string m_name, m_keyPath, m_filesDir;
  fs::path m_boxLog, m_cwd;
  ManifestText m_manifest;
};
