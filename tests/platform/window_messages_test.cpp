#include <process.h>
#include <synchapi.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

namespace {

// What the test window saw; touched only by the window's own thread.
std::vector<std::string> g_seen;
std::atomic<int> g_created{0};

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE: ++g_created; return 0;
    case WM_COPYDATA: {
      auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      g_seen.emplace_back(static_cast<const char*>(data->lpData));
      return static_cast<LRESULT>(data->cbData);
    }
    case WM_USER: g_seen.push_back("user " + std::to_string(wParam)); return 7;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND MakeWindow() {
  static bool registered = [] {
    WNDCLASSA cls{};
    cls.lpfnWndProc = RecordingProc;
    cls.lpszClassName = "NorvoTestWindow";
    return RegisterClassA(&cls) != 0;
  }();
  EXPECT_TRUE(registered);
  return CreateWindowExA(0, "NorvoTestWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

struct SendJob {
  HWND target;
  const char* text;
  std::atomic<LRESULT> result{-99};
};

unsigned __stdcall SendCopyData(void* raw) {
  auto* job = static_cast<SendJob*>(raw);
  char block[90] = {};
  std::strncpy(block, job->text, sizeof block - 1);
  COPYDATASTRUCT data{0, sizeof block, block};
  job->result = SendMessageA(job->target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
  return 0;
}

HANDLE Spawn(SendJob& job) {
  return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, SendCopyData, &job, 0, nullptr));
}

class WindowMessages : public ::testing::Test {
 protected:
  void SetUp() override { g_seen.clear(); }
};

TEST_F(WindowMessages, WindowsLiveFromCreateToDestroy) {
  static_assert(sizeof(HWND) == 4, "a window handle is a 4-byte value");
  int before = g_created;
  HWND hwnd = MakeWindow();
  ASSERT_NE(hwnd, 0u);
  EXPECT_EQ(g_created, before + 1);
  EXPECT_TRUE(IsWindow(hwnd));
  EXPECT_TRUE(DestroyWindow(hwnd));
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_FALSE(DestroyWindow(hwnd));
  EXPECT_FALSE(IsWindow(0));

  WNDCLASSA again{};
  again.lpfnWndProc = RecordingProc;
  again.lpszClassName = "norvotestwindow";  // class names ignore case
  EXPECT_EQ(RegisterClassA(&again), 0);
  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr), 0u);
}

TEST_F(WindowMessages, SendingToOwnWindowCallsTheProcedureDirectly) {
  HWND hwnd = MakeWindow();
  EXPECT_EQ(SendMessageA(hwnd, WM_USER, 3, 0), 7);
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0], "user 3");
  DestroyWindow(hwnd);
}

TEST_F(WindowMessages, NullOrDeadWindowReturnsAtOnce) {
  HWND hwnd = MakeWindow();
  DestroyWindow(hwnd);
  SendJob toNull{0, "x"};
  SendJob toDead{hwnd, "y"};
  HANDLE a = Spawn(toNull);
  HANDLE b = Spawn(toDead);
  EXPECT_EQ(WaitForSingleObject(a, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(b, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(toNull.result, 0);
  EXPECT_EQ(toDead.result, 0);
  CloseHandle(a);
  CloseHandle(b);
  EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
  EXPECT_TRUE(g_seen.empty());
}

TEST_F(WindowMessages, CrossThreadSendWaitsUntilTheOwnerPeeks) {
  HWND hwnd = MakeWindow();
  SendJob job{hwnd, "0/800"};
  HANDLE sender = Spawn(job);
  // The sender cannot finish while this thread does not look at its queue.
  EXPECT_EQ(WaitForSingleObject(sender, 100), WAIT_TIMEOUT);
  EXPECT_TRUE(g_seen.empty());
  MSG msg;
  while (WaitForSingleObject(sender, 10) == WAIT_TIMEOUT) {
    // Serving a sent message is not a posted message: Peek reports none.
    EXPECT_FALSE(PeekMessageA(&msg, 0, 0, 0, PM_REMOVE));
  }
  EXPECT_EQ(job.result, 90);
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0], "0/800");
  CloseHandle(sender);
  DestroyWindow(hwnd);
}

TEST_F(WindowMessages, DestroyingTheWindowReleasesAWaitingSender) {
  HWND hwnd = MakeWindow();
  SendJob job{hwnd, "end"};
  HANDLE sender = Spawn(job);
  EXPECT_EQ(WaitForSingleObject(sender, 100), WAIT_TIMEOUT);
  DestroyWindow(hwnd);
  EXPECT_EQ(WaitForSingleObject(sender, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(job.result, 0);
  EXPECT_TRUE(g_seen.empty());
  CloseHandle(sender);
}

TEST_F(WindowMessages, PostedMessagesArriveInOrderThroughGetAndDispatch) {
  HWND hwnd = MakeWindow();
  EXPECT_TRUE(PostMessageA(hwnd, WM_USER, 1, 0));
  EXPECT_TRUE(PostMessageA(hwnd, WM_USER, 2, 0));
  EXPECT_TRUE(PostMessageA(0, WM_APP, 5, 0));  // a thread message
  PostQuitMessage(4);
  MSG msg;
  EXPECT_TRUE(PeekMessageA(&msg, hwnd, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.wParam, 1u);
  EXPECT_TRUE(PeekMessageA(&msg, static_cast<HWND>(-1), 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP));
  int got = 0;
  BOOL more;
  while ((more = GetMessageA(&msg, 0, 0, 0)) > 0) {
    TranslateMessage(&msg);
    EXPECT_EQ(DispatchMessageA(&msg), 7);
    ++got;
  }
  EXPECT_EQ(more, FALSE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 4u);
  EXPECT_EQ(got, 2);
  EXPECT_EQ(g_seen, (std::vector<std::string>{"user 1", "user 2"}));
  EXPECT_FALSE(PeekMessageA(&msg, 0, 0, 0, PM_REMOVE));
  DestroyWindow(hwnd);
}

unsigned __stdcall PostAfterAWhile(void* raw) {
  Sleep(50);
  PostMessageA(*static_cast<HWND*>(raw), WM_USER, 9, 0);
  return 0;
}

TEST_F(WindowMessages, GetMessageSleepsUntilAnotherThreadPosts) {
  HWND hwnd = MakeWindow();
  HANDLE poster = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, PostAfterAWhile, &hwnd, 0, nullptr));
  MSG msg;
  ASSERT_EQ(GetMessageA(&msg, hwnd, 0, 0), TRUE);
  EXPECT_EQ(msg.wParam, 9u);
  EXPECT_EQ(WaitForSingleObject(poster, 5000), WAIT_OBJECT_0);
  CloseHandle(poster);
  DestroyWindow(hwnd);
}

TEST_F(WindowMessages, ManySendersAreAllServed) {
  HWND hwnd = MakeWindow();
  std::vector<std::unique_ptr<SendJob>> jobs;
  std::vector<HANDLE> threads;
  const char* texts[] = {"0", "1", "2", "fail", "error", "end"};
  for (const char* text : texts) {
    jobs.push_back(std::make_unique<SendJob>());
    jobs.back()->target = hwnd;
    jobs.back()->text = text;
    threads.push_back(Spawn(*jobs.back()));
  }
  for (HANDLE t : threads) {
    MSG msg;
    while (WaitForSingleObject(t, 5) == WAIT_TIMEOUT) PeekMessageA(&msg, 0, 0, 0, PM_REMOVE);
    CloseHandle(t);
  }
  EXPECT_EQ(g_seen.size(), 6u);
  for (auto& job : jobs) EXPECT_EQ(job->result, 90);
  DestroyWindow(hwnd);
}

TEST_F(WindowMessages, BadArgumentsFailQuietly) {
  MSG msg;
  EXPECT_FALSE(PeekMessageA(nullptr, 0, 0, 0, PM_REMOVE));
  EXPECT_FALSE(PeekMessageA(&msg, 0x7654321u, 0, 0, PM_REMOVE));
  EXPECT_EQ(GetMessageA(&msg, 0x7654321u, 0, 0), -1);
  EXPECT_EQ(DispatchMessageA(nullptr), 0);
  EXPECT_EQ(RegisterClassA(nullptr), 0);
  WNDCLASSA noProc{};
  noProc.lpszClassName = "NoProc";
  EXPECT_EQ(RegisterClassA(&noProc), 0);
}

}  // namespace
