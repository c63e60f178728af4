// The settings store: profile functions on the registry, and the login dialog's entries.
#include <windows.h>

#include <cstring>

#include "app/credential_protection.h"
#include "app/login_settings.h"
#include "app/norvosms_app.h"
#include "app/path_text.h"
#include "tests/app/app_test_env.h"
#include "tests/app/stored_settings.h"

namespace {

class SettingsTest : public AppSettingsTest {
 protected:
  void SetUp() override {
    AppSettingsTest::SetUp();
    theApp.SetRegistryKey("NorvoSMS");
  }
};

TEST(AppName, FollowsTheProgramFile) {
  EXPECT_EQ(theApp.m_pszAppName, "app_settings_test");
  EXPECT_EQ(AfxGetApp(), &theApp);
  EXPECT_EQ(CNorvoSMSApp::AppNameFromProgramFile("/opt/norvosms/NorvoSMS"), "NorvoSMS");
  EXPECT_EQ(CNorvoSMSApp::AppNameFromProgramFile("C:\\Program Files\\NorvoSMS\\NorvoSMS.exe"), "NorvoSMS");
  EXPECT_EQ(CNorvoSMSApp::AppNameFromProgramFile("/tmp/copy.of.NorvoSMS"), "copy.of");
  EXPECT_EQ(theApp.m_dwRestartManagerSupportFlags, AFX_RESTART_MANAGER_SUPPORT_RESTART);
}

TEST_F(SettingsTest, ProfileValuesLiveUnderTheApplicationKey) {
  EXPECT_TRUE(theApp.WriteProfileString("Settings", "m_sEditID", "demo"));
  EXPECT_TRUE(theApp.WriteProfileString("", "", "/opt/norvosms/"));
  EXPECT_TRUE(theApp.WriteProfileString("NorvoSendSMS", "", "/opt/norvosms/"));

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\NorvoSMS\\app_settings_test\\Settings", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  char buffer[64] = {};
  DWORD size = sizeof buffer, type = 0;
  ASSERT_EQ(RegQueryValueExA(key, "m_sEditID", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_STREQ(buffer, "demo");
  // Never cached: a change made behind the program's back is read at once.
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  ASSERT_EQ(
      RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\NorvoSMS\\app_settings_test\\Settings", 0, KEY_ALL_ACCESS, &key),
      ERROR_SUCCESS);
  RegSetValueExA(key, "m_sEditID", 0, REG_SZ, reinterpret_cast<const BYTE*>("other"), 6);
  RegCloseKey(key);
  EXPECT_EQ(theApp.GetProfileString("Settings", "m_sEditID", ""), "other");

  EXPECT_EQ(theApp.GetProfileString("", "", "x"), "/opt/norvosms/");
  EXPECT_EQ(theApp.GetProfileString("NorvoSendSMS", "", "x"), "/opt/norvosms/");
  EXPECT_EQ(theApp.GetProfileString("Settings", "missing", "fallback"), "fallback");
  // A binary value is not a string.
  BYTE bytes[] = {1, 2};
  theApp.WriteProfileBinary("Settings", "bin", bytes, 2);
  EXPECT_EQ(theApp.GetProfileString("Settings", "bin", "def"), "def");
}

TEST_F(SettingsTest, BinaryValuesKeepEveryByte) {
  BYTE bytes[] = {0x00, 0x10, 0x00, 0x00, 0xFF};
  EXPECT_TRUE(theApp.WriteProfileBinary("Settings", "bApiKey", bytes, sizeof bytes));
  EXPECT_EQ(StoredProfileBinary("bApiKey"), std::vector<BYTE>(bytes, bytes + sizeof bytes));

  EXPECT_TRUE(theApp.WriteProfileBinary("Settings", "bApiKey", nullptr, 0));
  LPBYTE data = nullptr;
  UINT size = 99;
  EXPECT_TRUE(theApp.GetProfileBinary("Settings", "bApiKey", &data, &size));
  EXPECT_EQ(size, 0u);
  delete[] data;

  EXPECT_FALSE(theApp.GetProfileBinary("Settings", "absent", &data, &size));
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(size, 0u);
}

TEST_F(SettingsTest, FirstStartHasDefaultsAndCreatesNothing) {
  LoginSettings settings = ReadLoginSettings(theApp);
  EXPECT_EQ(settings.sEditID, "");
  EXPECT_FALSE(settings.bStoredKey);
  EXPECT_EQ(settings.sFirstLogin, "");
  EXPECT_EQ(settings.sEnc, "0");
  EXPECT_TRUE(Boxes().empty());
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\NorvoSMS", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(SettingsTest, ClearTextKeyMovesIntoTheCipherEntry) {
  theApp.WriteProfileString("Settings", "m_sApiKey", "old-clear-key");
  LoginSettings settings = ReadLoginSettings(theApp);
  EXPECT_TRUE(settings.bStoredKey);
  // Emptied, not deleted.
  EXPECT_EQ(theApp.GetProfileString("Settings", "m_sApiKey", "<absent>"), "");
  std::vector<BYTE> cipher = StoredProfileBinary("bApiKey");
  EXPECT_EQ(cipher.size(), 16u);
  EXPECT_EQ(std::string(cipher.begin(), cipher.end()).find("old-clear-key"), std::string::npos);
  EXPECT_EQ(LoadStoredApiKey().value_or("<none>"), "old-clear-key");
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(SettingsTest, EmptyCipherEntryCountsAsNoKey) {
  theApp.WriteProfileBinary("Settings", "bApiKey", nullptr, 0);
  EXPECT_FALSE(ReadLoginSettings(theApp).bStoredKey);
  EXPECT_FALSE(LoadStoredApiKey().has_value());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(SettingsTest, OkPressWritesWhatTheBoxesSay) {
  SaveLoginSettings(theApp, "demo", "secret", true, true, "");
  LoginSettings settings = ReadLoginSettings(theApp);
  EXPECT_EQ(settings.sEditID, "demo");
  EXPECT_TRUE(settings.bStoredKey);
  EXPECT_EQ(settings.sFirstLogin, "NotFirst");
  EXPECT_EQ(LoadStoredApiKey().value_or("<none>"), "secret");

  // Unchecked later: the ID is emptied, the key entry left present with length 0, and the
  // first-login marker stays.
  SaveLoginSettings(theApp, "demo", "secret", false, false, settings.sFirstLogin);
  settings = ReadLoginSettings(theApp);
  EXPECT_EQ(settings.sEditID, "");
  EXPECT_FALSE(settings.bStoredKey);
  EXPECT_EQ(settings.sFirstLogin, "NotFirst");
  LPBYTE data = nullptr;
  UINT size = 7;
  EXPECT_TRUE(theApp.GetProfileBinary("Settings", "bApiKey", &data, &size));
  EXPECT_EQ(size, 0u);
  delete[] data;

  // The empty key, saved, is a present cipher text of one block.
  SaveLoginSettings(theApp, "demo", "", true, true, settings.sFirstLogin);
  EXPECT_EQ(StoredProfileBinary("bApiKey").size(), 8u);
  EXPECT_TRUE(ReadLoginSettings(theApp).bStoredKey);
  EXPECT_EQ(LoadStoredApiKey().value_or("<none>"), "");
}

TEST_F(SettingsTest, OkPressWithAnEmptyKeyKeepsTheStoredOne) {
  SaveLoginSettings(theApp, "demo", "secret", true, true, "");
  const std::vector<BYTE> saved = StoredProfileBinary("bApiKey");
  ASSERT_FALSE(saved.empty());
  EXPECT_EQ(theApp.GetProfileString("NorvoSendSMS", "", "x"), GetProgramFolder());

  // As after an automatic login: the key edit is empty, the box still checked.
  SaveLoginSettings(theApp, "demo", "", true, true, "NotFirst");
  EXPECT_EQ(StoredProfileBinary("bApiKey"), saved);
  EXPECT_EQ(LoadStoredApiKey().value_or("<none>"), "secret");

  // A new key replaces it; unchecking the box still empties it.
  SaveLoginSettings(theApp, "demo", "other", true, true, "NotFirst");
  EXPECT_EQ(LoadStoredApiKey().value_or("<none>"), "other");
  SaveLoginSettings(theApp, "demo", "", true, false, "NotFirst");
  EXPECT_TRUE(StoredProfileBinary("bApiKey").empty());
}

}  // namespace
