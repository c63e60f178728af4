// This process runs with NORVOSMS_ACP=949.
#include "text/ansi_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// "한글" in CP949 and in UTF-8, bytes written out so the test does not depend on the source charset.
const std::string kHangulCp949 = "\xC7\xD1\xB1\xDB";
const std::string kHangulUtf8 = "\xED\x95\x9C\xEA\xB8\x80";

TEST(AnsiFromUtf8, ConvertsByLengthInEitherAnsiCodePage) {
  for (UINT cp : {UINT{CP_ACP}, UINT{CP_THREAD_ACP}}) {
    EXPECT_EQ(AnsiFromUtf8("a " + kHangulUtf8 + "\r\n", cp), "a " + kHangulCp949 + "\r\n") << cp;
    // A NUL inside the text is kept: the length counts, not the terminator.
    EXPECT_EQ(AnsiFromUtf8(std::string("x\0y", 3), cp), std::string("x\0y", 3)) << cp;
    EXPECT_EQ(AnsiFromUtf8("", cp), "") << cp;
  }
}

TEST(AnsiFromUtf8, CharactersTheCodePageLacksBecomeItsDefault) {
  // U+00E9 has no CP949 form.
  EXPECT_EQ(AnsiFromUtf8("caf\xC3\xA9", CP_THREAD_ACP), "caf?");
  // A stray continuation byte is read as U+FFFD, which CP949 lacks too.
  EXPECT_EQ(AnsiFromUtf8("a\x80z", CP_THREAD_ACP), "a?z");
}

TEST(IsAscii, FindsAHighByteWhereverItStands) {
  for (std::size_t length = 0; length <= 19; ++length) {
    std::string text(length, 'a');
    EXPECT_TRUE(IsAscii(text)) << length;
    for (std::size_t at = 0; at < length; ++at) {
      std::string high = text;
      high[at] = '\x80';
      EXPECT_FALSE(IsAscii(high)) << length << " " << at;
    }
  }
  EXPECT_TRUE(IsAscii(std::string_view("\x7F\0\x01", 3)));
}

TEST(AnsiText, ProgramTextsInTheProcessCodePage) {
  EXPECT_EQ(AnsiText("\xEC\x9E\xAC\xEC\x8B\x9C\xEB\x8F\x84"), "\xC0\xE7\xBD\xC3\xB5\xB5");  // "재시도"
  EXPECT_EQ(AnsiText(""), "");
  EXPECT_EQ(AnsiText(nullptr), "");
  // Text that is not UTF-8 (already ANSI, say) is passed through untouched.
  EXPECT_EQ(AnsiText(kHangulCp949.c_str()), kHangulCp949);
}

TEST(WideFromAnsi, GivesUtf16ForDisplay) {
  const WideText wide = WideFromAnsi(kHangulCp949 + "!");
  ASSERT_EQ(wide.size(), 3u);
  EXPECT_EQ(wide[0], WCHAR(0xD55C));
  EXPECT_EQ(wide[1], WCHAR(0xAE00));
  EXPECT_EQ(wide[2], WCHAR('!'));
  EXPECT_TRUE(WideFromAnsi("").empty());
}

TEST(Utf16Length, CountsCodeUnits) {
  EXPECT_EQ(Utf16Length(""), 0u);
  EXPECT_EQ(Utf16Length("QUJD"), 4u);
  EXPECT_EQ(Utf16Length(kHangulUtf8), 2u);
  EXPECT_EQ(Utf16Length("\xF0\x9F\x98\x80"), 2u);  // outside the BMP: a surrogate pair
}

}  // namespace
