// MD5 against RFC 1321's suite, and the access token made from it.
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "api/access_token.h"
#include "api/md5.h"

TEST(Md5, Rfc1321TestSuite) {
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, BlockBoundariesAndNulAndHighBytes) {
  // 55, 56 and 64 bytes straddle the padding's one-or-two-block decision.
  EXPECT_EQ(Md5Hex(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
  EXPECT_EQ(Md5Hex(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
  EXPECT_EQ(Md5Hex(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
  EXPECT_EQ(Md5Hex(std::string("abc\0def", 7)), Md5Hex("abc"));
  EXPECT_EQ(Md5Hex("\xC7\xD1"), "5c076b209c4063547309e11eccf1f586");
}

TEST(AccessToken, ShapeAndDigestRelation) {
  const std::string key = "demo-key";
  std::string token = MakeAccessToken(key);
  ASSERT_EQ(token.size(), 40u);
  for (int i = 0; i < 8; ++i) EXPECT_NE(std::string("0123456789ABCDEF").find(token[i]), std::string::npos) << i;
  for (int i = 8; i < 40; ++i) EXPECT_NE(std::string("0123456789abcdef").find(token[i]), std::string::npos) << i;
  EXPECT_EQ(token.substr(8), Md5Hex(token.substr(0, 8) + key));
  EXPECT_EQ(MakeAccessToken("").substr(8), Md5Hex(MakeAccessToken("").substr(0, 8)));
}

TEST(AccessToken, SameSecondSameKeySameToken) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::time_t before = std::time(nullptr);
    std::string a = MakeAccessToken("k");
    std::string b = MakeAccessToken("k");
    if (std::time(nullptr) != before) continue;  // crossed a second boundary; try again
    EXPECT_EQ(a, b);
    EXPECT_NE(a.substr(8), MakeAccessToken("other").substr(8));
    return;
  }
  FAIL() << "clock kept crossing second boundaries";
}
