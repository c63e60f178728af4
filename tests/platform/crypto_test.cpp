// CryptoAPI: MD5 hashes, RC2 keys derived from them, and the cipher checked against the
// openssl command as an independent implementation.
#include <gtest/gtest.h>
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string Hex(const BYTE* data, DWORD size) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (DWORD i = 0; i < size; ++i) {
    out += digits[data[i] >> 4];
    out += digits[data[i] & 15];
  }
  return out;
}

struct Session {
  HCRYPTPROV prov = 0;
  HCRYPTHASH hash = 0;
  HCRYPTKEY key = 0;

  explicit Session(const std::string& secret) {
    EXPECT_TRUE(CryptAcquireContextA(&prov, nullptr, MS_ENH_RSA_AES_PROV_A, PROV_RSA_AES, 0));
    EXPECT_TRUE(CryptCreateHash(prov, CALG_MD5, 0, 0, &hash));
    EXPECT_TRUE(
        CryptHashData(hash, reinterpret_cast<const BYTE*>(secret.data()), static_cast<DWORD>(secret.size()), 0));
    EXPECT_TRUE(CryptDeriveKey(prov, CALG_RC2, hash, CRYPT_EXPORTABLE, &key));
  }
  ~Session() {
    CryptDestroyKey(key);
    CryptDestroyHash(hash);
    CryptReleaseContext(prov, 0);
  }
  std::string Digest() const {
    BYTE value[16];
    DWORD size = sizeof value;
    EXPECT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, value, &size, 0));
    return Hex(value, size);
  }
  std::vector<BYTE> Encrypt(const std::string& plain) const {
    std::vector<BYTE> buffer(plain.size() + 16, 0);
    std::memcpy(buffer.data(), plain.data(), plain.size());
    DWORD length = static_cast<DWORD>(plain.size());
    EXPECT_TRUE(CryptEncrypt(key, 0, TRUE, 0, buffer.data(), &length, static_cast<DWORD>(buffer.size())));
    buffer.resize(length);
    return buffer;
  }
};

TEST(Crypto, Md5AndCipherSizes) {
  Session s("abc");
  EXPECT_EQ(s.Digest(), "900150983cd24fb0d6963f7d28e17f72");
  // The hash is finished once its value or a key was taken.
  EXPECT_FALSE(CryptHashData(s.hash, reinterpret_cast<const BYTE*>("x"), 1, 0));
  EXPECT_EQ(GetLastError(), NTE_BAD_HASH_STATE);

  EXPECT_EQ(s.Encrypt("").size(), 8u);
  EXPECT_EQ(s.Encrypt("1234567").size(), 8u);
  EXPECT_EQ(s.Encrypt("12345678").size(), 16u);

  // Size query and a buffer without room.
  DWORD length = 95;
  EXPECT_TRUE(CryptEncrypt(s.key, 0, TRUE, 0, nullptr, &length, 0));
  EXPECT_EQ(length, 96u);
  BYTE buffer[100] = {'k'};
  length = 96;
  EXPECT_FALSE(CryptEncrypt(s.key, 0, TRUE, 0, buffer, &length, sizeof buffer));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
  EXPECT_EQ(length, 104u);
  EXPECT_EQ(buffer[0], 'k');
}

TEST(Crypto, RoundTripAndWrongKey) {
  std::string plain("demo-api-key", 13);  // with its terminating zero
  std::vector<BYTE> cipher;
  {
    Session s("00.1A.2B.3C.4D.5E");
    cipher = s.Encrypt(plain);
    ASSERT_EQ(cipher.size(), 16u);
    std::vector<BYTE> copy = cipher;
    DWORD length = static_cast<DWORD>(copy.size());
    ASSERT_TRUE(CryptDecrypt(s.key, 0, TRUE, 0, copy.data(), &length));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(copy.data()), length), plain);

    // Whole blocks only.
    length = 7;
    EXPECT_FALSE(CryptDecrypt(s.key, 0, TRUE, 0, copy.data(), &length));
    EXPECT_EQ(GetLastError(), NTE_BAD_DATA);
  }
  Session other("00.1A.2B.3C.4D.5F");
  std::vector<BYTE> copy = cipher;
  DWORD length = static_cast<DWORD>(copy.size());
  EXPECT_FALSE(CryptDecrypt(other.key, 0, TRUE, 0, copy.data(), &length));
  EXPECT_EQ(GetLastError(), NTE_BAD_DATA);
  EXPECT_EQ(copy, cipher);
}

TEST(Crypto, ChainRunsAcrossCalls) {
  std::string plain(24, 'p');
  Session s("chain");
  std::vector<BYTE> whole = s.Encrypt(plain);
  std::vector<BYTE> parts(plain.begin(), plain.end());
  parts.resize(32);
  DWORD length = 16;
  ASSERT_TRUE(CryptEncrypt(s.key, 0, FALSE, 0, parts.data(), &length, 16));
  length = 8;
  ASSERT_TRUE(CryptEncrypt(s.key, 0, TRUE, 0, parts.data() + 16, &length, 16));
  EXPECT_EQ(length, 16u);
  EXPECT_EQ(parts, whole);
  length = 5;
  EXPECT_FALSE(CryptEncrypt(s.key, 0, FALSE, 0, parts.data(), &length, 16));
}

TEST(Crypto, ProviderNameTypeAndHandles) {
  HCRYPTPROV prov = 0;
  EXPECT_FALSE(CryptAcquireContextA(&prov, nullptr, "Some Other Provider", PROV_RSA_AES, 0));
  EXPECT_EQ(GetLastError(), NTE_KEYSET_NOT_DEF);
  EXPECT_FALSE(CryptAcquireContextA(&prov, nullptr, MS_ENH_RSA_AES_PROV_A, PROV_RSA_FULL, 0));
  EXPECT_EQ(GetLastError(), NTE_PROV_TYPE_NOT_DEF);
  ASSERT_TRUE(CryptAcquireContextA(&prov, nullptr, nullptr, PROV_RSA_AES, 0));
  HCRYPTHASH hash = 0;
  EXPECT_FALSE(CryptCreateHash(prov, CALG_RC2, 0, 0, &hash));
  EXPECT_EQ(GetLastError(), NTE_BAD_ALGID);
  EXPECT_TRUE(CryptReleaseContext(prov, 0));
  EXPECT_FALSE(CryptReleaseContext(prov, 0));
  EXPECT_FALSE(CryptCreateHash(prov, CALG_MD5, 0, 0, &hash));
  HCRYPTKEY key = 0;
  EXPECT_FALSE(CryptDeriveKey(prov, CALG_RC2, 0, 0, &key));
  DWORD length = 0;
  EXPECT_FALSE(CryptEncrypt(12345, 0, TRUE, 0, nullptr, &length, 0));
  EXPECT_EQ(GetLastError(), NTE_BAD_KEY);
}

// The openssl command, given the MD5 value as the key, must produce the same bytes.
TEST(Crypto, MatchesTheOpensslCommand) {
  const std::string identity = "00.1A.2B.3C.4D.5E";
  std::string plain = "key-with-zero";
  plain.push_back('\0');
  Session s(identity);
  std::vector<BYTE> cipher = s.Encrypt(plain);

  std::string input = std::string(std::getenv("NORVOSMS_BUILD_DIR")) + "/crypto_test_plain.bin";
  {
    std::ofstream out(input, std::ios::binary);
    out.write(plain.data(), static_cast<std::streamsize>(plain.size()));
  }
  std::string command =
      "openssl enc -rc2-cbc -K " + s.Digest() + " -iv 0000000000000000 -provider legacy -provider default -in " + input;
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::vector<BYTE> expected;
  int c;
  while ((c = std::fgetc(pipe)) != EOF) expected.push_back(static_cast<BYTE>(c));
  ASSERT_EQ(pclose(pipe), 0) << command;
  std::remove(input.c_str());
  EXPECT_EQ(Hex(cipher.data(), static_cast<DWORD>(cipher.size())),
            Hex(expected.data(), static_cast<DWORD>(expected.size())));
}

}  // namespace
