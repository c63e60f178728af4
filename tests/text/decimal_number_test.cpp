#include "text/decimal_number.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

TEST(DecimalValue, ReadsAsAtoiWithoutOverflow) {
  // Inputs and values side by side: not reflowed.
  // clang-format off
  struct {
    const char* text;
    int value;
  } cases[] = {{"1500", 1500}, {" 42", 42},        {"12abc", 12},     {"", 0},
               {"abc", 0},     {"\t\n-7x", -7},    {"+8", 8},         {"- 8", 0},
               {"2147483647", INT_MAX},            {"2147483648", INT_MAX},
               {"-2147483648", INT_MIN},           {"-99999999999999999999999", INT_MIN},
               {"000000000000000000000000012", 12}, {"\v\f\r9", 9}};
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(DecimalValue(c.text), c.value) << '"' << c.text << '"';
}

TEST(DecimalValue, StopsAtTheEndOfTheViewAndAtANul) {
  const std::string text = "12345";
  EXPECT_EQ(DecimalValue(std::string_view(text).substr(0, 2)), 12);
  EXPECT_EQ(DecimalValue(std::string("7\0008", 3)), 7);
  EXPECT_EQ(DecimalValue(std::string_view(text).substr(0, 0)), 0);
}

TEST(ScanDecimal, MovesTheCursorPastTheDigitsOnly) {
  const char text[] = "  -42</int>";
  const char* cursor = text;
  std::int32_t value = 0;
  ASSERT_TRUE(ScanDecimal(cursor, nullptr, value));
  EXPECT_EQ(value, -42);
  EXPECT_STREQ(cursor, "</int>");

  const char* none = " -</int>";
  const char* before = none;
  value = 5;
  EXPECT_FALSE(ScanDecimal(none, nullptr, value));
  EXPECT_EQ(none, before);
  EXPECT_EQ(value, 5);

  const char bounded[] = "98765";
  cursor = bounded;
  ASSERT_TRUE(ScanDecimal(cursor, bounded + 3, value));
  EXPECT_EQ(value, 987);
  EXPECT_EQ(cursor, bounded + 3);
  cursor = bounded;
  EXPECT_FALSE(ScanDecimal(cursor, bounded, value));  // an empty range has no digit
}

}  // namespace
