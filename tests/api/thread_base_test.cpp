#include "api/thread_base.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

class CountingThread : public CThread {
 public:
  ~CountingThread() override { Stop(); }
  std::atomic<int> runs{0};
  std::atomic<int> wakes{0};

 protected:
  void Run() override {
    ++runs;
    Sleep(1);
  }
  void OnStopRequested() override { ++wakes; }
};

TEST(CThread, StartsOnceAndStopsWithTheThreadEnded) {
  CountingThread thread;
  EXPECT_TRUE(thread.IsIdle());
  EXPECT_FALSE(thread.IsStopRequested());
  EXPECT_TRUE(thread.Start());
  unsigned first = thread.ThreadId();
  EXPECT_NE(first, 0u);
  EXPECT_TRUE(thread.Start());  // already running: same thread
  EXPECT_EQ(thread.ThreadId(), first);
  EXPECT_FALSE(thread.IsIdle());
  while (thread.runs < 3) Sleep(1);
  thread.Stop();
  EXPECT_TRUE(thread.IsIdle());
  EXPECT_TRUE(thread.IsStopRequested());
  EXPECT_EQ(thread.wakes, 1);
  int runs = thread.runs;
  Sleep(20);
  EXPECT_EQ(thread.runs, runs);
  thread.Stop();  // stopped already: nothing to do
  EXPECT_EQ(thread.wakes, 1);

  EXPECT_TRUE(thread.Start());  // restartable
  EXPECT_NE(thread.ThreadId(), first);
  EXPECT_FALSE(thread.IsIdle());
}

TEST(CThread, StopWithoutAThreadReturnsAtOnce) {
  CountingThread thread;
  thread.Stop();
  EXPECT_TRUE(thread.IsIdle());
  EXPECT_TRUE(thread.IsStopRequested());
  EXPECT_EQ(thread.runs, 0);
}

TEST(CThread, DestroyingARunningThreadWaitsForIt) {
  // Under the sanitizers a thread still running on a freed object is reported.
  for (int i = 0; i < 5; ++i) {
    auto* thread = new CountingThread;
    thread->Start();
    delete thread;
  }
}

// Stop pumps messages: a worker blocked in SendMessageA to this thread's window gets served.
std::string g_received;

LRESULT CALLBACK NoteProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COPYDATA) {
    g_received = static_cast<const char*>(reinterpret_cast<COPYDATASTRUCT*>(lParam)->lpData);
    return 1;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class NotifyingThread : public CThread {
 public:
  explicit NotifyingThread(HWND target) : m_target(target) {}
  ~NotifyingThread() override { Stop(); }
  std::atomic<bool> entered{false};

 protected:
  void Run() override {
    entered = true;
    char text[90] = "0";
    COPYDATASTRUCT data{0, sizeof text, text};
    SendMessageA(m_target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    Sleep(5);
  }

 private:
  HWND m_target;
};

TEST(CThread, StopServesAWorkerBlockedOnThisThreadsWindow) {
  WNDCLASSA cls{};
  cls.lpfnWndProc = NoteProc;
  cls.lpszClassName = "CThreadTestNote";
  RegisterClassA(&cls);
  HWND hwnd = CreateWindowExA(0, "CThreadTestNote", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(hwnd, HWND{});
  NotifyingThread thread(hwnd);
  thread.Start();
  while (!thread.entered) Sleep(1);
  Sleep(20);  // the worker now waits for this thread to serve its message
  thread.Stop();
  EXPECT_TRUE(thread.IsIdle());
  EXPECT_EQ(g_received, "0");
  DestroyWindow(hwnd);
}

// A window procedure that runs while Stop pumps may call Start on the thread being stopped.
CThread* g_startDuringStop = nullptr;
std::atomic<int> g_startedDuringStop{-1};

LRESULT CALLBACK StartingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COPYDATA) {
    if (CThread* thread = g_startDuringStop) {
      g_startDuringStop = nullptr;
      g_startedDuringStop = thread->Start() ? 1 : 0;
    }
    return 1;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST(CThread, StartDuringStopNeitherCancelsTheStopNorAddsAThread) {
  WNDCLASSA cls{};
  cls.lpfnWndProc = StartingProc;
  cls.lpszClassName = "CThreadTestStarting";
  RegisterClassA(&cls);
  HWND hwnd = CreateWindowExA(0, "CThreadTestStarting", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(hwnd, HWND{});
  NotifyingThread thread(hwnd);
  thread.Start();
  const unsigned first = thread.ThreadId();
  while (!thread.entered) Sleep(1);
  Sleep(20);  // blocked in its notification: Stop serves it, and the procedure calls Start
  g_startDuringStop = &thread;

  std::atomic<bool> stopped{false};
  std::thread watchdog([&stopped] {
    for (int i = 0; i < 2000 && !stopped; ++i) Sleep(10);
    if (!stopped) {
      std::fputs("Stop never returned: the Start during it cancelled the stop\n", stderr);
      std::abort();
    }
  });
  thread.Stop();
  stopped = true;
  watchdog.join();

  EXPECT_EQ(g_startedDuringStop, 1);  // the thread was still there
  EXPECT_TRUE(thread.IsIdle());
  EXPECT_TRUE(thread.IsStopRequested());
  EXPECT_EQ(thread.ThreadId(), first);  // no second thread on the same object
  DestroyWindow(hwnd);
}

TEST(WaitPumping, ReturnsForAnUnknownHandle) {
  WaitPumping(nullptr);
  WaitPumping(reinterpret_cast<HANDLE>(0x4321));
}

}  // namespace
