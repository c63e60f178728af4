// The reader of the service's status entries: what the library's writer makes is read exactly;
// anything else is refused, never half-read.
#include "batch/status_entries.h"

#include <gtest/gtest.h>

namespace {

TEST(StatusEntries, ReadsWhatTheWriterMakes) {
  const std::string text =
      "\r\n<entries>\r\n\t<entry>\r\n\t\t<phone>01011112222</phone>\r\n\t\t<kind>sms</kind>\r\n"
      "\t\t<status>delivered</status>\r\n\t\t<code>0000</code>\r\n\t\t<sent_at>2026-12-10 01:00:00</sent_at>\r\n"
      "\t\t<extra>&lt;&amp;&#65;&#x42;</extra>\r\n\t</entry>\r\n\t<entry>\r\n\t\t<phone>010&amp;2</phone>\r\n"
      "\t\t<kind/>\r\n\t\t<code>800</code>\r\n\t</entry>\r\n</entries>";
  std::vector<StatusEntry> entries;
  std::string problem;
  ASSERT_TRUE(ReadStatusEntries(text, entries, problem)) << problem;
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].phone, "01011112222");
  EXPECT_EQ(entries[0].status, "delivered");
  EXPECT_EQ(entries[0].sentAt, "2026-12-10 01:00:00");
  EXPECT_EQ(entries[1].phone, "010&2");
  EXPECT_EQ(entries[1].code, "800");
  EXPECT_EQ(entries[1].kind, "");
  ASSERT_TRUE(ReadStatusEntries("\r\n<entries/>", entries, problem)) << problem;
  EXPECT_TRUE(entries.empty());
}

TEST(StatusEntries, RefusesWhatIsNotSuchAList) {
  const char* const bad[] = {
      "",
      "error",
      "<entries>",
      "<entries><entry><phone>1</phone></entries>",
      "<entries><entry><phone>1<b/></phone></entry></entries>",
      "<entries><entry><phone>&bogus;</phone></entry></entries>",
      "<entries><entry><phone>&#0;</phone></entry></entries>",
      "<entries><entry><phone>&#x110000;</phone></entry></entries>",
      "<entries><entry><phone>1</code></entry></entries>",
      "<entries><other/></entries>",
      "<entries></entries>trailing",
      "<entries><entry><phone attr='1'>1</phone></entry></entries>",
  };
  for (const char* text : bad) {
    std::vector<StatusEntry> entries;
    std::string problem;
    EXPECT_FALSE(ReadStatusEntries(text, entries, problem)) << text;
    EXPECT_FALSE(problem.empty()) << text;
  }
  std::vector<StatusEntry> entries;
  std::string problem;
  EXPECT_FALSE(ReadStatusEntries(
      "<entries><entry><phone>" + std::string(kMaxStatusValueBytes + 1, '1') + "</phone></entry></entries>", entries,
      problem));
}

}  // namespace
