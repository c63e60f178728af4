// The checks a batch passes before anything is queued. Runs with the ANSI code page 949.
#include "batch/batch_input.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

std::string WriteFile(const std::string& name, const std::string& content) {
  std::string path = testing::TempDir() + "/" + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

TEST(BatchInput, PhoneNumbersAreDigitsWithSingleInnerDashesOfASensibleLength) {
  for (const char* good : {"01011112222", "010-1111-2222", "02-555-0100", "1588-0000", "123456789012345"})
    EXPECT_TRUE(IsPhoneNumber(good)) << good;
  for (const char* bad : {"", "abc", "0101111222a", "-01011112222", "01011112222-", "010--1111-2222", "1234567",
                          "1234567890123456", "010 1111 2222", "0101111\n2222", "+821011112222"})
    EXPECT_FALSE(IsPhoneNumber(bad)) << bad;
  EXPECT_FALSE(IsPhoneNumber(std::string(10000, '1')));
}

TEST(BatchInput, ReservationsAreRealDatesAndTimes) {
  for (const char* good : {"2026-12-09 15:30", "2028-02-29 00:00", "2000-02-29 23:59"})
    EXPECT_TRUE(IsReservation(good)) << good;
  for (const char* bad : {"not-a-date<x>", "2026-12-09", "2026-12-09 15:30:00", "2026-13-01 10:00", "2026-02-29 10:00",
                          "1900-02-29 10:00", "2026-04-31 10:00", "2026-12-09 24:00", "2026-12-09 10:60",
                          "2026-1-09 10:00", "2026/12/09 10:00", "2026-12-09T10:00", "２026-12-09 10:00"})
    EXPECT_FALSE(IsReservation(bad)) << bad;
}

TEST(BatchInput, TextIsConvertedToTheCodePageOrRefusedNeverReplaced) {
  std::string ansi;
  ASSERT_TRUE(ToAnsi("안녕 hello", ansi));
  EXPECT_EQ(ansi, "\xBE\xC8\xB3\xE7 hello");  // CP949
  EXPECT_FALSE(ToAnsi("emoji \xF0\x9F\x98\x80", ansi));
  EXPECT_FALSE(ToAnsi("bad \xC3\x28", ansi));
  EXPECT_FALSE(ToAnsi("\xED\xA0\x80", ansi));  // a lone surrogate
  EXPECT_FALSE(ToAnsi("\xC0\xAF", ansi));      // overlong
  EXPECT_TRUE(IsUtf8(""));
}

TEST(BatchInput, MessageFieldsAreAllCheckedAndConverted) {
  MessageFields fields{"zzz", "", "", "not-a-date<x>"};
  std::vector<InputFault> faults;
  CheckMessageFields(fields, faults);
  ASSERT_EQ(faults.size(), 3u);
  EXPECT_NE(faults[0].what.find("--callback"), std::string::npos);
  EXPECT_NE(faults[1].what.find("empty"), std::string::npos);
  EXPECT_NE(faults[2].what.find("--reserve"), std::string::npos);

  MessageFields good{"02-555-0100", "공지", "안녕", "2026-12-24 09:00"};
  faults.clear();
  CheckMessageFields(good, faults);
  EXPECT_TRUE(faults.empty());
  EXPECT_EQ(good.message, "\xBE\xC8\xB3\xE7");
  EXPECT_EQ(good.subject, "\xB0\xF8\xC1\xF6");

  MessageFields tooLong{"0212345678", "a\nb", std::string(kMaxMessageBytes + 1, 'x'), ""};
  faults.clear();
  CheckMessageFields(tooLong, faults);
  EXPECT_EQ(faults.size(), 2u);
}

TEST(BatchInput, RecipientFileSkipsTheByteOrderMarkCommentsAndBlankLines) {
  std::string path = WriteFile("bom.txt",
                               "\xEF\xBB\xBF"
                               "01011112222 ref-a\r\n# note\n\n010-2222-3333,ref-b # c\n01033344445");
  std::vector<RecipientLine> recipients;
  std::vector<InputFault> faults;
  ASSERT_TRUE(ReadRecipientFile(path, recipients, faults));
  EXPECT_TRUE(faults.empty());
  ASSERT_EQ(recipients.size(), 3u);
  EXPECT_EQ(recipients[0].phone, "01011112222");
  EXPECT_EQ(recipients[0].refKey, "ref-a");
  EXPECT_EQ(recipients[1].line, 4u);
  EXPECT_EQ(recipients[1].refKey, "ref-b");
  EXPECT_EQ(recipients[2].line, 5u);
  EXPECT_EQ(recipients[2].phone, "01033344445");
  CheckRecipients(recipients, faults);
  EXPECT_TRUE(faults.empty());
}

TEST(BatchInput, EachFaultCarriesItsLineNumber) {
  std::string path = WriteFile("faults.txt",
                               "01011112222\nabc\n01011112222 a b\n0101111\xFF"
                               "2222\n"
                               "01011112222 \xF0\x9F\x98\x80\n01011112222\n");
  std::vector<RecipientLine> recipients;
  std::vector<InputFault> faults;
  ASSERT_TRUE(ReadRecipientFile(path, recipients, faults));
  CheckRecipients(recipients, faults);
  std::string described = DescribeFaults("list.txt", faults);
  EXPECT_NE(described.find("list.txt:2: not a phone number"), std::string::npos) << described;
  EXPECT_NE(described.find("list.txt:3: expected PHONE [REF_KEY]"), std::string::npos) << described;
  EXPECT_NE(described.find("list.txt:4: not UTF-8 text"), std::string::npos) << described;
  EXPECT_NE(described.find("list.txt:5: the reference key"), std::string::npos) << described;
  EXPECT_EQ(faults.size(), 4u);
}

TEST(BatchInput, ALineWithoutEndIsRefusedOnceItPassesTheBoundNotAfterReadingItAll) {
  std::vector<RecipientLine> recipients;
  std::vector<InputFault> faults;
  EXPECT_FALSE(ReadRecipientFile("/dev/zero", recipients, faults));  // would never end if read whole
  ASSERT_EQ(faults.size(), 1u);
  EXPECT_EQ(faults[0].line, 1u);
  faults.clear();
  std::string path = WriteFile("long.txt", "01011112222\n" + std::string(kMaxLineBytes + 1, '1') + "\n");
  EXPECT_FALSE(ReadRecipientFile(path, recipients, faults));
  EXPECT_EQ(DescribeFaults("f", faults), "f:2: line longer than 4096 bytes\n");
  faults.clear();
  EXPECT_FALSE(ReadRecipientFile(testing::TempDir() + "/missing", recipients, faults));
}

TEST(BatchInput, ManyFaultsAreCountedNotAllListed) {
  std::vector<InputFault> faults(kMaxFaultsListed + 5, InputFault{3, "x"});
  std::string described = DescribeFaults("f", faults);
  EXPECT_NE(described.find("... and 5 more\n"), std::string::npos);
}

TEST(BatchInput, TextTheXmlCannotCarryIsRefusedWithItsLine) {
  MessageFields fields{"0212345678", "sub\x01ject",
                       "a\x1b"
                       "b",
                       ""};
  std::vector<InputFault> faults;
  CheckMessageFields(fields, faults);
  std::string described = DescribeFaults("f", faults);
  EXPECT_NE(described.find("the message holds the control character U+001B"), std::string::npos) << described;
  EXPECT_NE(described.find("--subject: holds the control character U+0001"), std::string::npos) << described;
  MessageFields noncharacter{"0212345678", "", "a\xEF\xBF\xBF", ""};
  faults.clear();
  CheckMessageFields(noncharacter, faults);
  EXPECT_NE(DescribeFaults("f", faults).find("U+FFFF"), std::string::npos);
  // TAB, CR and LF go as they are.
  MessageFields lines{"0212345678", "", "one\ttwo\r\nthree", ""};
  faults.clear();
  CheckMessageFields(lines, faults);
  EXPECT_TRUE(faults.empty()) << DescribeFaults("f", faults);

  std::vector<RecipientLine> recipients = {{3, "01011112222", std::string("k\0ey", 4)},
                                           {4, "01011112222", "k\xEF\xBF\xBE"}};
  faults.clear();
  CheckRecipients(recipients, faults);
  described = DescribeFaults("list.txt", faults);
  EXPECT_NE(described.find("list.txt:3: the reference key holds the control character U+0000"), std::string::npos)
      << described;
  EXPECT_NE(described.find("list.txt:4: the reference key holds the control character U+FFFE"), std::string::npos)
      << described;
}

TEST(BatchInput, AReferenceKeyAndPhoneTwiceInOneBatchAreRefusedWithBothLines) {
  std::vector<RecipientLine> recipients = {{1, "01011112222", "k"},
                                           {2, "01011113333", "k"},
                                           {3, "01011112222", ""},
                                           {4, "01011112222", ""},
                                           {7, "01011112222", "k"}};
  std::vector<InputFault> faults;
  CheckRecipients(recipients, faults);
  ASSERT_EQ(faults.size(), 1u) << DescribeFaults("f", faults);
  EXPECT_EQ(faults[0].line, 7u);
  EXPECT_NE(faults[0].what.find("repeat line 1"), std::string::npos);
}

}  // namespace
