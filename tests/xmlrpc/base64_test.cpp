#include <gtest/gtest.h>

#include <string>

#include "xmlrpc/xmlrpc_base64.h"

namespace {

std::string decoded(const std::string& text) {
  const BinaryData bytes = decodeBase64(text.data(), text.data() + text.size());
  return std::string(bytes.begin(), bytes.end());
}

std::string encoded(const std::string& bytes) {
  return encodeBase64(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

TEST(Base64Encode, LineBreakAfterEvery72Characters) {
  EXPECT_EQ(encoded(""), "");
  EXPECT_EQ(encoded("A"), "QQ==");
  EXPECT_EQ(encoded("AB"), "QUI=");
  EXPECT_EQ(encoded("ABC"), "QUJD");
  EXPECT_EQ(encoded(std::string("\xff\xfe\x00", 3)), "//4A");

  const std::string text54(54, 'x');
  const std::string line = encoded(text54);
  ASSERT_EQ(line.size(), 73u);
  EXPECT_EQ(line.back(), '\n');
  EXPECT_EQ(line.find('\n'), 72u);

  EXPECT_EQ(encoded(std::string(55, 'x')), line + "eA==");
  EXPECT_EQ(encoded(std::string(56, 'x')), line + "eHg=");
  EXPECT_EQ(encoded(std::string(53, 'x')).find('\n'), std::string::npos);
  const std::string two = encoded(std::string(108, 'x'));
  EXPECT_EQ(two.size(), 146u);
  EXPECT_EQ(two, line + line);
}

TEST(Base64Decode, PaddingShortGroupsAndNoise) {
  EXPECT_EQ(decoded("QUJD"), "ABC");
  EXPECT_EQ(decoded("QUI="), "AB");
  EXPECT_EQ(decoded("QU=="), "A");
  EXPECT_EQ(decoded("QU=I"), "A");
  EXPECT_EQ(decoded("QUI"), "");
  EXPECT_EQ(decoded("QUJDQU"), "ABC");
  EXPECT_EQ(decoded("Q"), "");
  EXPECT_EQ(decoded("Q\nU\nJ\nD"), "ABC");
  EXPECT_EQ(decoded(" Q U*J-D\r\n"), "ABC");
  EXPECT_EQ(decoded("=QUJD"), "");
  EXPECT_EQ(decoded("Q=UJD"), "");
  EXPECT_EQ(decoded("QUJD=QUJD"), "ABC");
  EXPECT_EQ(decoded(""), "");
}

TEST(Base64, RoundTripsEveryByte) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  for (std::size_t n = 0; n <= all.size(); n += 37) EXPECT_EQ(decoded(encoded(all.substr(0, n))), all.substr(0, n));
  EXPECT_EQ(decoded(encoded(all + all)), all + all);
}

}  // namespace
