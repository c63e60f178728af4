// The machine-bound API key: identity text, encryption limits, storage and failures. Message
// texts are compared as CP949 bytes (the test runs with NORVOSMS_ACP=949).
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "app/credential_protection.h"
#include "app/norvosms_app.h"
#include "tests/app/app_test_env.h"

namespace {

const char kCp949EncryptFailed[] = "\xBE\xCF\xC8\xA3\xC8\xAD \xBD\xC7\xC6\xD0!";       // 암호화 실패!
const char kCp949DecryptFailed[] = "CryptDecrypt \xC8\xA3\xC3\xE2 \xBD\xC7\xC6\xD0!";  // CryptDecrypt 호출 실패!

class CredentialTest : public AppSettingsTest {
 protected:
  void SetUp() override {
    AppSettingsTest::SetUp();
    theApp.SetRegistryKey("NorvoSMS");
  }
  static void Store(const std::vector<BYTE>& cipher) {
    std::vector<BYTE> copy = cipher;
    ASSERT_TRUE(theApp.WriteProfileBinary("Settings", "bApiKey", copy.data(), static_cast<UINT>(copy.size())));
  }
};

std::string Md5Hex(const std::string& text) {
  HCRYPTPROV prov = 0;
  HCRYPTHASH hash = 0;
  CryptAcquireContextA(&prov, nullptr, MS_ENH_RSA_AES_PROV_A, PROV_RSA_AES, 0);
  CryptCreateHash(prov, CALG_MD5, 0, 0, &hash);
  CryptHashData(hash, reinterpret_cast<const BYTE*>(text.data()), static_cast<DWORD>(text.size()), 0);
  BYTE value[16];
  DWORD size = sizeof value;
  CryptGetHashParam(hash, HP_HASHVAL, value, &size, 0);
  CryptDestroyHash(hash);
  CryptReleaseContext(prov, 0);
  char hex[33] = {};
  for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", value[i]);
  return hex;
}

TEST_F(CredentialTest, IdentityTextFromTheFirstAdapter) {
  setenv("NORVOSMS_ADAPTERS", "00:1a:2b:3c:4d:5e,aa:bb:cc:dd:ee:ff", 1);
  EXPECT_EQ(GetMacAddress(), "00.1A.2B.3C.4D.5E");
  setenv("NORVOSMS_ADAPTERS", "", 1);
  EXPECT_EQ(GetMacAddress(), "Error : 232 ");
  // More adapters than the first buffer holds: asked again, the first one still counts.
  std::string many;
  for (int i = 0; i < 12; ++i) many += (i ? ",02:00:00:00:00:" : "0e:00:00:00:00:") + std::to_string(10 + i);
  setenv("NORVOSMS_ADAPTERS", many.c_str(), 1);
  EXPECT_EQ(GetMacAddress(), "0E.00.00.00.00.10");
}

TEST_F(CredentialTest, KeyRoundTripAndLengthLimits) {
  std::vector<BYTE> cipher = EncryptText("demo-api-key");
  ASSERT_EQ(cipher.size(), 16u);
  Store(cipher);
  EXPECT_EQ(LoadStoredApiKey().value_or("<none>"), "demo-api-key");

  EXPECT_EQ(EncryptText(std::string(94, 'k').c_str()).size(), 96u);
  EXPECT_EQ(EncryptText("").size(), 8u);
  EXPECT_TRUE(Boxes().empty());

  EXPECT_TRUE(EncryptText(std::string(95, 'k').c_str()).empty());
  // Far beyond the working buffer: refused the same way, nothing overrun.
  EXPECT_TRUE(EncryptText(std::string(400, 'k').c_str()).empty());
  EXPECT_EQ(Boxes(), (std::vector<std::string>{kCp949EncryptFailed, kCp949EncryptFailed}));
  auto records = norvosms_test::ReadMessageBoxLog(log_);
  EXPECT_EQ(records.front().caption, "app_credential_protection_test");
  EXPECT_EQ(records.front().type, static_cast<unsigned>(MB_OK));
}

TEST_F(CredentialTest, AnotherMachineCannotDecrypt) {
  Store(EncryptText("demo-api-key"));
  setenv("NORVOSMS_ADAPTERS", "00:1a:2b:3c:4d:5f", 1);
  EXPECT_FALSE(LoadStoredApiKey().has_value());
  EXPECT_EQ(Boxes(), std::vector<std::string>{kCp949DecryptFailed});
  setenv("NORVOSMS_ADAPTERS", "00:1a:2b:3c:4d:5e", 1);
  EXPECT_EQ(LoadStoredApiKey().value_or("<none>"), "demo-api-key");
}

TEST_F(CredentialTest, CipherWithZeroBytesIsStoredWhole) {
  std::string key;
  std::vector<BYTE> cipher;
  for (int i = 0; i < 2000 && cipher.empty(); ++i) {
    std::string candidate = "key-" + std::to_string(i);
    std::vector<BYTE> c = EncryptText(candidate.c_str());
    if (std::find(c.begin(), c.end(), 0) != c.end()) {
      key = candidate;
      cipher = c;
    }
  }
  ASSERT_FALSE(cipher.empty()) << "no candidate key gave a zero byte";
  Store(cipher);
  LPBYTE data = nullptr;
  UINT size = 0;
  ASSERT_TRUE(theApp.GetProfileBinary("Settings", "bApiKey", &data, &size));
  EXPECT_EQ(std::vector<BYTE>(data, data + size), cipher);
  delete[] data;
  EXPECT_EQ(LoadStoredApiKey().value_or("<none>"), key);
}

// The openssl command with the MD5 of the identity text as its RC2 key gives the same bytes.
TEST_F(CredentialTest, CipherMatchesTheOpensslCommand) {
  std::vector<BYTE> cipher = EncryptText("demo-api-key");
  std::string input = dir_ + "/plain.bin";
  {
    std::ofstream out(input, std::ios::binary);
    out.write("demo-api-key", 13);  // with the terminating zero
  }
  std::string command = "openssl enc -rc2-cbc -K " + Md5Hex("00.1A.2B.3C.4D.5E") +
                        " -iv 0000000000000000 -provider legacy -provider default -in " + input;
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::vector<BYTE> expected;
  for (int c; (c = std::fgetc(pipe)) != EOF;) expected.push_back(static_cast<BYTE>(c));
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_EQ(cipher, expected);
}

}  // namespace
