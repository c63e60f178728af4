#include "text/ascii_case.h"

#include <gtest/gtest.h>

namespace {

TEST(AsciiCase, FoldsAsciiLettersOnly) {
  EXPECT_TRUE(EqualsNoCase("<methodResponse>", "<METHODRESPONSE>"));
  EXPECT_TRUE(EqualsNoCase("", ""));
  EXPECT_FALSE(EqualsNoCase("http", "https"));
  // Bytes one case bit apart that are not letters stay different: '[' and '{', '@' and '`'.
  EXPECT_FALSE(EqualsNoCase("[", "{"));
  EXPECT_FALSE(EqualsNoCase("@", "`"));
  // Latin-1 or CP949 bytes are never folded (0xC1 and 0xE1 are 'Á' and 'á' in Latin-1).
  EXPECT_FALSE(EqualsNoCase("\xC1", "\xE1"));
  // A NUL inside the text counts: the compare goes by length.
  EXPECT_FALSE(EqualsNoCase(std::string_view("a\0b", 3), std::string_view("a\0c", 3)));
}

TEST(AsciiCase, StartsWithNeedsTheWholePrefix) {
  EXPECT_TRUE(StartsWithNoCase("HTTPS://host/", "https://"));
  EXPECT_TRUE(StartsWithNoCase("anything", ""));
  EXPECT_FALSE(StartsWithNoCase("http:/", "http://"));
  EXPECT_FALSE(StartsWithNoCase("httpx://", "http://"));
}

}  // namespace
