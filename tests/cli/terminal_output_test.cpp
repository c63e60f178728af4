// Service text on its way to the terminal, and the window that collects send notifications.
#include "cli/terminal_output.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <thread>

#include "cli/notification_window.h"

namespace {

TEST(TerminalOutput, ControlCharactersBecomeQuestionMarks) {
  EXPECT_EQ(TerminalSafe("a\x1b]0;title\x07"
                         "b\x1b[2Jc\r\x7f\x08\n\td"),
            "a?]0;title?b?[2Jc???\n\td");
  EXPECT_EQ(TerminalSafe("\xC2\x9B"
                         "31m \xC2\xA0 \xEB\x8D\xB0"),
            "?31m \xC2\xA0 \xEB\x8D\xB0");                 // C1 CSI, NBSP, Korean
  EXPECT_EQ(TerminalSafe("\xC2\x9B", false), "\xC2\x9B");  // a double-byte character in CP949
}

TEST(TerminalOutput, AC1ControlSplitBetweenWritesIsStillCaught) {
  ControlCharacterFilter filter(true);
  std::string out = filter.Filter("x\xC2", 2);
  out += filter.Filter(
      "\x9B"
      "1m\xC2",
      4);
  out += filter.Filter("\xA9", 1);
  EXPECT_EQ(out + filter.Flush(), "x?1m\xC2\xA9");
  EXPECT_FALSE(filter.AtLineStart());
  filter.Filter("\n", 1);
  EXPECT_TRUE(filter.AtLineStart());
}

// The library's workers write to the filtered standard output from their own threads; each write
// must come out whole and filtered, and the filter's state must not race (ThreadSanitizer fails
// the child with its own exit code).
void WriteFromFourThreadsAndCheck() {
  char path[] = "/tmp/norvosms-filtered-XXXXXX";
  int fd = mkstemp(path);
  std::fflush(stdout);  // what the test runner printed stays out of the file
  if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0) std::exit(2);
  FilterStandardOutput();
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t) {
    workers.emplace_back([] {
      for (int i = 0; i < 300; ++i) std::fwrite("ab\033c\n", 1, 5, stdout);
    });
  }
  for (auto& worker : workers) worker.join();
  std::fwrite("open", 1, 4, stdout);
  EndOpenOutputLine();
  std::ifstream in(path);
  unlink(path);
  std::string line;
  int whole = 0;
  while (std::getline(in, line) && line == "ab?c") ++whole;
  std::exit(whole == 1200 && line == "open" ? 0 : 1);  // exit, not _exit: a sanitizer sets its code at exit
}

TEST(TerminalOutput, WritesFromSeveralThreadsComeOutWholeAndFiltered) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(WriteFromFourThreadsAndCheck(), testing::ExitedWithCode(0), "");
}

TEST(NotificationWindow, CollectsTextsSentFromAnotherThreadAndStopsAtEnd) {
  NotificationWindow window;
  ASSERT_NE(window.Handle(), 0u);
  std::vector<std::string> seen;
  window.OnNote([&](const std::string& text) { seen.push_back(text); });
  std::thread worker([hwnd = window.Handle()] {
    for (const char* text : {"0", "1/800", "unterminated", "end"}) {
      char block[90] = {};
      std::string t = text;
      if (t == "unterminated") {
        std::fill(block, block + sizeof block, 'z');  // no NUL: read no further than cbData
      } else {
        std::copy(t.begin(), t.end(), block);
      }
      COPYDATASTRUCT data{0, sizeof block, block};
      SendMessageA(hwnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }
  });
  EXPECT_TRUE(window.PumpUntilEnd(std::chrono::seconds(10)));
  worker.join();
  ASSERT_EQ(window.Notes().size(), 4u);
  EXPECT_EQ(window.Notes()[1], "1/800");
  EXPECT_EQ(window.Notes()[2], std::string(90, 'z'));
  EXPECT_EQ(window.BlockSizes()[0], 90u);
  EXPECT_EQ(seen, window.Notes());
  EXPECT_EQ(window.Take().size(), 4u);
  EXPECT_TRUE(window.Notes().empty());
  EXPECT_FALSE(window.PumpUntilEnd(std::chrono::milliseconds(20)));
}

// The blocking pump must wake for the notification that completes the wait, although each
// arrives as a sent message that GetMessageA serves without returning.
TEST(NotificationWindow, BlockingPumpWakesOnTheLastNotification) {
  NotificationWindow window;
  ASSERT_NE(window.Handle(), 0u);
  std::thread worker([hwnd = window.Handle()] {
    for (const char* text : {"0", "1", "end"}) {
      char block[90] = {};
      std::copy(text, text + std::char_traits<char>::length(text), block);
      COPYDATASTRUCT data{0, sizeof block, block};
      SendMessageA(hwnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }
  });
  EXPECT_TRUE(window.PumpBlockingUntil([&] { return window.Notes().size() == 3; }));
  worker.join();
  EXPECT_EQ(window.Notes().back(), "end");
}

}  // namespace
