// Sending through the exports against the sandbox: notifications, counters, pool states.
#include "api/NorvoSMS.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <dirent.h>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli/notification_window.h"
#include "tests/api/send_sandbox.h"

namespace {

// The caller's window, made per test on the test thread.
NotificationWindow* g_window = nullptr;

const std::vector<std::string>& Notes() { return g_window->Notes(); }

void PumpFor(
    int milliseconds, const std::function<bool()>& done = [] { return false; }) {
  g_window->PumpUntil(done, std::chrono::milliseconds(milliseconds));
}

std::size_t Count(const std::string& text) { return std::count(Notes().begin(), Notes().end(), text); }

std::vector<std::string> Sorted(std::vector<std::string> notes) {
  std::sort(notes.begin(), notes.end());
  return notes;
}

int ThreadsOfProcess() {
  int n = 0;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (dirent* entry = readdir(dir)) n += entry->d_name[0] != '.';
    closedir(dir);
  }
  return n;
}

class Sending : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { sandbox::UseForLibrary(); }

  void SetUp() override {
    sandbox::Reset();
    m_window = std::make_unique<NotificationWindow>();
    g_window = m_window.get();
    m_hwnd = m_window->Handle();
    ASSERT_NE(m_hwnd, HWND{});
    InitDLL("demo", "demo-key");
  }
  void TearDown() override {
    FreeDll();
    g_window = nullptr;
    m_window.reset();
  }

  void Sms(const std::string& phone, int total, const std::string& reserve = "") {
    SendSMS(m_hwnd, phone, "0212345678", "hello", reserve, "ref-" + phone, total, "N");
  }

  std::unique_ptr<NotificationWindow> m_window;
  HWND m_hwnd = 0;
};

TEST_F(Sending, BatchOfThreeStartsAtTheThirdMessageAndEndsOnce) {
  CreateThreadDll();
  EXPECT_TRUE(ThreadIsFinished());
  Sms("01000000001", 3);
  Sms("01000000002", 3);
  PumpFor(150);
  EXPECT_TRUE(ThreadIsFinished()) << "workers start only when the batch is complete";
  EXPECT_EQ(sandbox::RequestCount(), 0);
  Sms("01000000003", 3);
  PumpFor(10000, [] { return Notes().size() >= 4; });
  PumpFor(200);  // nothing more may come
  EXPECT_EQ(Sorted(Notes()), (std::vector<std::string>{"0", "1", "2", "end"}));
  for (auto size : g_window->BlockSizes()) EXPECT_EQ(size, 90u);
  EXPECT_EQ(send_test::Messages().size(), 3u);
  EXPECT_FALSE(ThreadIsFinished()) << "a started pool keeps running after the batch";
  StopSMS();
  EXPECT_TRUE(ThreadIsFinished());
}

TEST_F(Sending, RequestCarriesTheTenParametersInOrder) {
  CreateThreadDll();
  // The subject "제목" as the CP949 bytes that callers pass in code page 949.
  SendLMS(m_hwnd, "01012345678", "0212345678", "\xC1\xA6\xB8\xF1", "a&b", "2024-01-02 10:30", "r1", 1, "Y");
  // "end" may come from another worker before the sending one reports its number.
  PumpFor(10000, [] { return Count("end") == 1 && Notes().size() >= 2; });
  std::string request = sandbox::LastDocument();
  auto open = request.find("<access-token>");
  auto close = request.find("</access-token>");
  ASSERT_TRUE(open != std::string::npos && close != std::string::npos);
  EXPECT_EQ(close - open - 14, 40u);
  request.replace(open + 14, close - open - 14, "T");
  // UTF-8 here: the sandbox logs the document as it came off the wire.
  EXPECT_EQ(request,
            "\r\n<request>\r\n\t<sms-id>demo</sms-id>\r\n\t<access-token>T</access-token>"
            "\r\n\t<response-format>xml</response-format>\r\n\t<method>SMS.send</method>\r\n\t<params>"
            "\r\n\t\t<call_type>p</call_type>\r\n\t\t<phone>01012345678</phone>"
            "\r\n\t\t<callback>0212345678</callback>\r\n\t\t<message>a&amp;b</message>"
            "\r\n\t\t<subject>제목</subject>\r\n\t\t<ref_key>r1</ref_key>"
            "\r\n\t\t<reserve>2024-01-02 10:30:00</reserve>\r\n\t\t<send_type>lms</send_type>"
            "\r\n\t\t<msg_type>1</msg_type>\r\n\t\t<usears>Y</usears>\r\n\t</params>\r\n</request>");
  // Another worker may report "end" while the sending one still waits to report its number.
  EXPECT_EQ(Sorted(Notes()), (std::vector<std::string>{"0", "end"}));
}

TEST_F(Sending, SmsSendsEmptySubjectAndReservationOfOnlySeconds) {
  CreateThreadDll();
  Sms("01000000009", 1);
  PumpFor(10000, [] { return Count("end") == 1; });
  std::string request = sandbox::LastDocument();
  EXPECT_NE(request.find("\r\n\t\t<subject/>\r\n"), std::string::npos);
  EXPECT_NE(request.find("<reserve>:00</reserve>"), std::string::npos);
  EXPECT_NE(request.find("<send_type>sms</send_type>"), std::string::npos);
  auto stored = send_test::Messages();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0], (std::vector<std::string>{"01000000009", "0212345678", "", "hello", ":00", "ref-01000000009",
                                                 "sms", "N", "0000"}));
}

TEST_F(Sending, ServiceCodesGiveNumberSlash800AndFail) {
  send_test::Answer("01000000001", "800");
  send_test::Answer("01000000002", "E006");
  send_test::Answer("01000000003", "E123");
  CreateThreadDll();
  Sms("01000000001", 3);
  Sms("01000000002", 3);
  Sms("01000000003", 3);
  PumpFor(10000, [] { return Notes().size() >= 4; });
  PumpFor(100);
  ASSERT_EQ(Notes().size(), 4u);
  EXPECT_EQ(Count("fail"), 2u);
  EXPECT_EQ(Count("end"), 1u);
  auto slash = std::find_if(Notes().begin(), Notes().end(),
                            [](const std::string& n) { return n.find("/800") != std::string::npos; });
  ASSERT_NE(slash, Notes().end());
  EXPECT_TRUE(*slash == "0/800" || *slash == "1/800" || *slash == "2/800") << *slash;
  for (auto size : g_window->BlockSizes()) EXPECT_EQ(size, 90u);
}

TEST_F(Sending, TransportFailureGivesErrorUnnumberedAndNoEnd) {
  // Staged once: a second send of the message would be answered, and show as a "0".
  send_test::Answer("01000000002", "transport reset");
  CreateThreadDll();
  Sms("01000000001", 2);
  Sms("01000000002", 2);
  PumpFor(10000, [] { return Notes().size() >= 2; });
  PumpFor(300);
  EXPECT_EQ(Sorted(Notes()), (std::vector<std::string>{"0", "error"}));
  EXPECT_FALSE(ThreadIsFinished());
  DestroyThread();
  EXPECT_TRUE(ThreadIsFinished());
}

// A request the sandbox held across a reset is dropped: served after it, it would show in the
// next test's record as a message sent twice (seen under Wine, 60 s after a test that gave up).
TEST_F(Sending, ARequestTheSandboxHeldAcrossAResetIsNotServedAfterIt) {
  setenv("NORVOSMS_TIMEOUT", "1", 1);
  sandbox::Plan("slow 2");
  CreateThreadDll();
  Sms("01000000009", 1);
  PumpFor(5000, [] { return !Notes().empty(); });
  EXPECT_EQ(Notes(), std::vector<std::string>{"error"});
  DestroyThread();
  unsetenv("NORVOSMS_TIMEOUT");
  sandbox::Reset();
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // past the held request's wake
  EXPECT_EQ(sandbox::Control("GET", "/send/requests"), "");
}

TEST_F(Sending, WithoutAPoolNothingIsSentAndNothingFails) {
  Sms("01000000001", 1);
  PumpFor(200);
  EXPECT_TRUE(Notes().empty());
  EXPECT_EQ(sandbox::RequestCount(), 0);
  EXPECT_TRUE(ThreadIsFinished());
  // The queued message goes once a pool is made and started.
  CreateThreadDll();
  StartSMS();
  // "end" may come from another worker before the message's own number.
  PumpFor(10000, [] { return Count("end") == 1 && Notes().size() >= 2; });
  EXPECT_EQ(Sorted(Notes()), (std::vector<std::string>{"0", "end"}));
}

TEST_F(Sending, WindowProcedureEnqueuesTheNextBatchWhenEndArrives) {
  CreateThreadDll();
  int batches = 0;
  g_window->OnNote([this, &batches](const std::string& text) {
    if (text == "end" && ++batches == 1) Sms("01000000002", 1);
  });
  Sms("01000000001", 1);
  PumpFor(10000, [] { return Count("end") == 2; });
  PumpFor(100);
  EXPECT_EQ(Sorted(Notes()), (std::vector<std::string>{"0", "0", "end", "end"}));
  EXPECT_EQ(send_test::Messages().size(), 2u);
}

TEST_F(Sending, StopWhileAWorkerWaitsForTheWindowDoesNotDeadlock) {
  CreateThreadDll();
  Sms("01000000001", 1);
  // Not pumping: the worker sends, then blocks in its notification to this thread.
  for (int i = 0; i < 500 && send_test::Messages().empty(); ++i) Sleep(10);
  Sleep(100);
  EXPECT_TRUE(Notes().empty());
  StopSMS();
  EXPECT_TRUE(ThreadIsFinished());
  EXPECT_EQ(Count("0"), 1u);
}

TEST_F(Sending, DestroyThreadDropsQueuedMessagesAndTheNextBatchCountsFromZero) {
  Sms("01000000001", 5);
  Sms("01000000002", 5);
  CreateThreadDll();
  DestroyThread();
  CreateThreadDll();
  Sms("01000000003", 1);
  PumpFor(10000, [] { return Count("end") == 1; });
  PumpFor(100);
  EXPECT_EQ(Sorted(Notes()), (std::vector<std::string>{"0", "end"}));
  auto stored = send_test::Messages();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0][0], "01000000003");
}

TEST_F(Sending, StartTwiceStartsEachWorkerOnce) {
  CreateThreadDll();
  PumpFor(1);  // the window's own waker thread, started by its first timed pump, is not counted
  int before = ThreadsOfProcess();
  StartSMS();
  StartSMS();
  PumpFor(200);
  EXPECT_EQ(ThreadsOfProcess() - before, 3);
  EXPECT_TRUE(Notes().empty());  // the first "end" went to no window: none was named yet
  StopSMS();
  EXPECT_TRUE(ThreadIsFinished());
}

TEST_F(Sending, SecondPoolIsDestroyedToo) {
  CreateThreadDll();
  CreateThreadDll();  // three more workers that never start; DestroyThread must free them
  Sms("01000000001", 1);
  PumpFor(10000, [] { return Count("end") == 1; });
  DestroyThread();
  EXPECT_TRUE(ThreadIsFinished());
  StopSMS();
  StartSMS();  // an empty pool: nothing happens
  EXPECT_TRUE(ThreadIsFinished());
}

TEST_F(Sending, StoppedPoolResumesWithTheQueueKept) {
  CreateThreadDll();
  StartSMS();
  PumpFor(100);
  StopSMS();
  g_window->Take();
  Sms("01000000001", 2);
  Sms("01000000002", 2);  // complete: the ended workers start again
  PumpFor(10000, [] { return Count("end") == 1 && Notes().size() >= 3; });
  EXPECT_EQ(Sorted(Notes()), (std::vector<std::string>{"0", "1", "end"}));
}

TEST_F(Sending, FreeDllEndsSendingAndLaterExportsDoNothing) {
  CreateThreadDll();
  Sms("01000000001", 3);
  Sms("01000000002", 3);
  Sms("01000000003", 3);
  FreeDll();
  EXPECT_FALSE(ThreadIsFinished());  // no client
  Sms("01000000004", 1);
  CreateThreadDll();
  StartSMS();
  StopSMS();
  DestroyThread();
  PumpFor(100);
  EXPECT_LE(send_test::Messages().size(), 3u);
  InitDLL("demo", "demo-key");  // TearDown frees it again
}

// Text XML cannot carry (a NUL, C0 controls other than TAB, LF and CR, U+FFFE and U+FFFF) is never
// sent: the message fails as a transport failure would, and a plain call says why.
TEST_F(Sending, TextXmlCannotCarryIsRefusedBeforeAnythingIsSent) {
  const std::string refused[] = {std::string("a\0b", 3), "bell\x07", "esc\x1b[2J", "unit\x1f"};
  testing::internal::CaptureStdout();
  CreateThreadDll();
  int i = 0;
  for (const std::string& message : refused) {
    std::string phone = "0100000000" + std::to_string(++i);
    SendSMS(m_hwnd, phone, "0212345678", message, "", "ref-" + phone, 5, "N");
  }
  SendSMS(m_hwnd, "01000000005", "0212345678", "tab\tcr\rlf\n", "", "ref-5", 5, "N");
  PumpFor(10000, [] { return Notes().size() >= 5; });
  PumpFor(200);
  std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(Count("error"), 4u);
  EXPECT_EQ(Count("end"), 0u);
  EXPECT_EQ(sandbox::RequestCount(), 1) << "only the message with TAB, CR and LF went out";
  EXPECT_NE(printed.find("The request cannot be written as XML: <message> holds U+0000; nothing was sent"),
            std::string::npos)
      << printed;
  EXPECT_NE(printed.find("<message> holds U+001B"), std::string::npos) << printed;
  DestroyThread();

  testing::internal::CaptureStdout();
  EXPECT_STREQ(GetStatusByRef_All(std::string("ref\0key", 7)), "error");
  EXPECT_STREQ(InsertGroup("group\x01"), "error");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "The request cannot be written as XML: <ref_key> holds U+0000; nothing was sent"
            "The request cannot be written as XML: <group_name> holds U+0001; nothing was sent");
  EXPECT_EQ(sandbox::RequestCount(), 1);
}

}  // namespace
