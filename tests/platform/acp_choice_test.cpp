// Which ANSI code page the process gets from NORVOSMS_ACP and the locale.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

TEST(AcpChoice, FollowsVariableThenLocale) {
  const char* expected = std::getenv("NORVOSMS_EXPECT_ACP");
  ASSERT_NE(expected, nullptr);
  EXPECT_EQ(GetACP(), static_cast<UINT>(std::stoul(expected)));
  EXPECT_EQ(GetACP(), GetACP());
}
