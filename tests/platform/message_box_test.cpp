// MessageBoxA in log mode: records and results. Texts are ANSI bytes (CP949 here).
#include <gtest/gtest.h>
#include <windows.h>
#include <winuser.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/message_box_log.h"

TEST(MessageBox, RecordsCaptionAndTextInsteadOfShowing) {
  std::string log = std::string(std::getenv("NORVOSMS_BUILD_DIR")) + "/message_box_test.log";
  std::remove(log.c_str());
  setenv("NORVOSMS_MESSAGEBOX_LOG", log.c_str(), 1);
  // "접속" in CP949, with a line break and a tab in the text.
  const char text[] = "\xC1\xA2\xBC\xD3\n line\\two\tend";
  EXPECT_EQ(MessageBoxA(0, text, "caption", MB_OK), IDOK);
  EXPECT_EQ(MessageBoxA(0, "second", nullptr, MB_YESNO | MB_ICONQUESTION), IDYES);
  auto records = norvosms_test::ReadMessageBoxLog(log);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].text, text);
  EXPECT_EQ(records[0].caption, "caption");
  EXPECT_EQ(records[0].type, static_cast<unsigned>(MB_OK));
  EXPECT_EQ(records[1].caption, "");
  EXPECT_EQ(records[1].type, static_cast<unsigned>(MB_YESNO | MB_ICONQUESTION));
  unsetenv("NORVOSMS_MESSAGEBOX_LOG");
  std::remove(log.c_str());
}
