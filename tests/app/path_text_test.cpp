// Path texts in fixed buffers: bounded, never cut short.
#include <gtest/gtest.h>

#include <string>

#include "app/path_text.h"

TEST(PathText, FormatAndCopyRefuseWhatDoesNotFit) {
  char buffer[kPathBufferSize];
  EXPECT_EQ(FormatPath(buffer, "%s\\%s", "/opt/norvosms/", "Launcher.exe"), 27);
  EXPECT_STREQ(buffer, "/opt/norvosms/\\Launcher.exe");
  std::string fits(259, 'a'), tooLong(260, 'a');
  EXPECT_EQ(FormatPath(buffer, "%s", fits.c_str()), 259);
  EXPECT_EQ(FormatPath(buffer, "%s", tooLong.c_str()), -1);
  EXPECT_STREQ(buffer, "");

  EXPECT_EQ(CopyPath(buffer, fits.c_str()), 259);
  EXPECT_EQ(std::string(buffer), fits);
  EXPECT_EQ(CopyPath(buffer, tooLong.c_str()), -1);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(CopyPath(buffer, nullptr), -1);
}

TEST(PathText, ReplaceCharAndProgramFolder) {
  char text[] = "C:\\Program Files\\NorvoSMS\\";
  EXPECT_EQ(ReplaceChar(text, '\\', '/'), 26);
  EXPECT_STREQ(text, "C:/Program Files/NorvoSMS/");
  EXPECT_EQ(ReplaceChar(nullptr, 'a', 'b'), 0);

  std::string folder = GetProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_NE(folder.find("/bin/"), std::string::npos);
}
