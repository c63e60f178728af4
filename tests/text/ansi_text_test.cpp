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

namespace {

TEST(IsValidUtf8, RefusesEveryFormTheStrictRulesForbid) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("plain " + kHangulUtf8 + " \xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));                // overlong '/'
  EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));            // overlong in three bytes
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));            // a lone surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));        // past U+10FFFF
  EXPECT_FALSE(IsValidUtf8(kHangulUtf8.substr(0, 4)));  // cut inside the second character
  EXPECT_FALSE(IsValidUtf8("a\x80z"));
}

TEST(AnsiFromUtf8Exactly, ConvertsOnlyWhenEveryCharacterFits) {
  std::string ansi = "untouched";
  ASSERT_TRUE(AnsiFromUtf8Exactly("a " + kHangulUtf8, ansi));
  EXPECT_EQ(ansi, "a " + kHangulCp949);
  ASSERT_TRUE(AnsiFromUtf8Exactly("", ansi));
  EXPECT_EQ(ansi, "");

  ansi = "untouched";
  EXPECT_FALSE(AnsiFromUtf8Exactly("caf\xC3\xA9", ansi));       // no CP949 form, no best fit
  EXPECT_FALSE(AnsiFromUtf8Exactly("\xF0\x9F\x98\x80", ansi));  // outside the code page
  EXPECT_FALSE(AnsiFromUtf8Exactly("ok \xC3\x28", ansi));       // not UTF-8
  EXPECT_FALSE(AnsiFromUtf8Exactly("ok\x80", ansi));            // not UTF-8, though ASCII around it
  EXPECT_EQ(ansi, "untouched");

  // In place, as the batch input checks call it.
  std::string field = "ref-" + kHangulUtf8;
  ASSERT_TRUE(AnsiFromUtf8Exactly(field, field));
  EXPECT_EQ(field, "ref-" + kHangulCp949);
  field = "ascii only";
  ASSERT_TRUE(AnsiFromUtf8Exactly(field, field));
  EXPECT_EQ(field, "ascii only");
}

TEST(Utf8FromAnsi, ConvertsWhateverTheWorkBuffersHeldBefore) {
  std::string utf8 = "stale";
  ASSERT_TRUE(Utf8FromAnsi("", utf8));
  EXPECT_EQ(utf8, "");
  ASSERT_TRUE(Utf8FromAnsi(std::string("x\0y", 3), utf8));
  EXPECT_EQ(utf8, std::string("x\0y", 3));

  // Longer than the smallest buffer asked for: the buffers grow, and a shorter text after it
  // gets only its own bytes back.
  std::string longAnsi, longUtf8;
  for (int i = 0; i < 5000; ++i) longAnsi += kHangulCp949, longUtf8 += kHangulUtf8;
  ASSERT_TRUE(Utf8FromAnsi(longAnsi, utf8, 1024));
  EXPECT_EQ(utf8, longUtf8);
  ASSERT_TRUE(Utf8FromAnsi("<" + kHangulCp949 + ">", utf8, 1024));
  EXPECT_EQ(utf8, "<" + kHangulUtf8 + ">");

  // And back: the two directions agree.
  std::string ansi;
  ASSERT_TRUE(AnsiFromUtf8Exactly(longUtf8, ansi));
  EXPECT_EQ(ansi, longAnsi);
}

}  // namespace
