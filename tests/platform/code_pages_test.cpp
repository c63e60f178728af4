// Code-page conversions; this process runs with NORVOSMS_ACP=949.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

// "한글" in CP949 and in UTF-8 (bytes written out so the test does not depend on the source charset).
const std::string kHangulCp949 = "\xC7\xD1\xB1\xDB";
const std::string kHangulUtf8 = "\xED\x95\x9C\xEA\xB8\x80";
const std::u16string kHangulUtf16 = u"\uD55C\uAE00";

std::u16string ToWide(UINT cp, const std::string& s, DWORD flags = 0) {
  int n = MultiByteToWideChar(cp, flags, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::u16string out(static_cast<size_t>(n), u'\0');
  if (n > 0) {
    EXPECT_EQ(MultiByteToWideChar(cp, flags, s.data(), static_cast<int>(s.size()), out.data(), n), n);
  }
  return out;
}

std::string ToBytes(UINT cp, const std::u16string& s, LPCSTR defaultChar = nullptr, BOOL* used = nullptr) {
  int n = WideCharToMultiByte(cp, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, defaultChar, used);
  std::string out(static_cast<size_t>(n), '\0');
  if (n > 0) {
    EXPECT_EQ(WideCharToMultiByte(cp, 0, s.data(), static_cast<int>(s.size()), out.data(), n, defaultChar, used), n);
  }
  return out;
}

}  // namespace

TEST(CodePages, AnsiCodePageIsTheConfiguredOne) {
  EXPECT_EQ(GetACP(), 949u);
  EXPECT_TRUE(IsDBCSLeadByte(0xC7));
  EXPECT_TRUE(IsDBCSLeadByte(0x81));
  EXPECT_FALSE(IsDBCSLeadByte('A'));
  EXPECT_FALSE(IsDBCSLeadByte(0x80));
  EXPECT_FALSE(IsDBCSLeadByte(0xFF));
  EXPECT_FALSE(IsDBCSLeadByteEx(CP_UTF8, 0xED));
  EXPECT_TRUE(IsDBCSLeadByteEx(932, 0xE0));
  EXPECT_FALSE(IsDBCSLeadByteEx(932, 0xA0));
}

TEST(CodePages, KoreanThroughEveryNameOfTheAnsiCodePage) {
  for (UINT cp : {UINT{CP_ACP}, UINT{CP_THREAD_ACP}, UINT{949}}) {
    EXPECT_EQ(ToWide(cp, kHangulCp949), kHangulUtf16) << cp;
    EXPECT_EQ(ToBytes(cp, kHangulUtf16), kHangulCp949) << cp;
  }
  EXPECT_EQ(ToWide(CP_UTF8, kHangulUtf8), kHangulUtf16);
  EXPECT_EQ(ToBytes(CP_UTF8, kHangulUtf16), kHangulUtf8);
  EXPECT_EQ(ToBytes(CP_ACP, ToWide(CP_UTF8, "ab " + kHangulUtf8 + "\n")), "ab " + kHangulCp949 + "\n");
}

TEST(CodePages, SupplementaryCharactersUseSurrogatePairs) {
  const std::string emojiUtf8 = "\xF0\x9F\x98\x80";
  EXPECT_EQ(ToWide(CP_UTF8, emojiUtf8), u"\U0001F600");
  EXPECT_EQ(ToBytes(CP_UTF8, u"\U0001F600"), emojiUtf8);
}

TEST(CodePages, MinusOneLengthConvertsTheTerminatingNul) {
  WCHAR wide[8] = {};
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, nullptr, 0), 4);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, wide, 8), 4);
  EXPECT_EQ(std::u16string(wide), u"abc");
  char narrow[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\uD55C", -1, narrow, 8, nullptr, nullptr), 3);
  EXPECT_EQ(std::string(narrow), "\xC7\xD1");
  // An explicit length that covers NULs converts them like any character.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\0b", 3, wide, 8), 3);
  EXPECT_EQ(wide[1], u'\0');
}

TEST(CodePages, BufferAndArgumentErrorsAreReported) {
  WCHAR wide[2];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, wide, 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  char narrow[1];
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\uD55C", 1, narrow, 1, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 0, wide, 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, nullptr, 3, wide, 2), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, nullptr, 2), 0);
  EXPECT_EQ(MultiByteToWideChar(12345, 0, "abc", 3, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  // UTF-8 has no default character.
  BOOL used = FALSE;
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, nullptr, 0, nullptr, &used), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, nullptr, 0, "?", nullptr), 0);
}

TEST(CodePages, MalformedUtf8BecomesReplacementCharacters) {
  // Lone continuation, truncated sequence, overlong form, encoded surrogate, byte 0xFF.
  EXPECT_EQ(ToWide(CP_UTF8,
                   "a\x80"
                   "b"),
            u"a\uFFFDb");
  EXPECT_EQ(ToWide(CP_UTF8, "a\xED\x95"), u"a\uFFFD");
  EXPECT_EQ(ToWide(CP_UTF8, "\xC0\xAF"), u"\uFFFD\uFFFD");
  EXPECT_EQ(ToWide(CP_UTF8, "\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(ToWide(CP_UTF8, "\xFFx"), u"\uFFFDx");
  EXPECT_EQ(ToWide(CP_UTF8, "\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");

  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\x80", 2, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  EXPECT_EQ(ToBytes(CP_UTF8, std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, u"\xDC00", 1, nullptr, 0, nullptr, nullptr), 0);
}

TEST(CodePages, UnmappableCharactersTakeTheDefaultCharacter) {
  BOOL used = TRUE;
  EXPECT_EQ(ToBytes(CP_ACP, kHangulUtf16, nullptr, &used), kHangulCp949);
  EXPECT_FALSE(used);
  // An emoji (one surrogate pair) and a Cherokee letter are not in CP949.
  EXPECT_EQ(ToBytes(CP_ACP, u"a\U0001F600b\u13A0", nullptr, &used), "a?b?");
  EXPECT_TRUE(used);
  EXPECT_EQ(ToBytes(CP_ACP, u"x\U0001F600", "#", &used), "x#");
  EXPECT_EQ(ToBytes(CP_ACP, u"x\U0001F600", "\xA1\xDA", nullptr), "x\xA1\xDA");
  // Bytes that CP949 does not define become '?' on the way in, and the rest still converts.
  EXPECT_EQ(ToWide(CP_ACP,
                   "\xC7"
                   "A" +
                       kHangulCp949),
            u"?A" + kHangulUtf16);
  EXPECT_EQ(ToWide(CP_ACP, "z\xC7"), u"z?");
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "z\xC7", 2, nullptr, 0), 0);
}

TEST(CodePages, OtherCodePagesGoThroughIconv) {
  EXPECT_EQ(ToWide(1252, "caf\xE9"), u"caf\u00E9");
  EXPECT_EQ(ToBytes(1252, u"\u20AC"), "\x80");
  EXPECT_EQ(ToBytes(51949, kHangulUtf16), kHangulCp949);
}
