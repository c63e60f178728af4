#include "api/thread_base.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli/notification_window.h"

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

// Records its runs in state that outlives it, so that they can be read after it is gone.
class OutlivedThread : public CThread {
 public:
  struct Trace {
    std::atomic<int> runs{0};
    std::atomic<bool> inRun{false};
  };
  explicit OutlivedThread(Trace& trace) : m_trace(trace) {}
  ~OutlivedThread() override { Stop(); }

 protected:
  void Run() override {
    m_trace.inRun = true;
    Sleep(1);
    ++m_trace.runs;
    m_trace.inRun = false;
  }

 private:
  Trace& m_trace;
};

TEST(CThread, DestroyingARunningThreadWaitsForIt) {
  for (int i = 0; i < 5; ++i) {
    OutlivedThread::Trace trace;
    auto* thread = new OutlivedThread(trace);
    ASSERT_TRUE(thread->Start());
    while (trace.runs < 2) Sleep(1);
    delete thread;
    // The worker has ended: it is in no Run and starts none after the destructor returned.
    EXPECT_FALSE(trace.inRun);
    const int runs = trace.runs;
    Sleep(20);
    EXPECT_EQ(trace.runs, runs);
  }
}

// Stop pumps messages: a worker blocked in SendMessageA to this thread's window gets served.
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
  NotificationWindow window;
  ASSERT_NE(window.Handle(), HWND{});
  NotifyingThread thread(window.Handle());
  thread.Start();
  while (!thread.entered) Sleep(1);
  Sleep(20);  // the worker now waits for this thread to serve its message
  thread.Stop();
  EXPECT_TRUE(thread.IsIdle());
  EXPECT_EQ(window.Notes(), std::vector<std::string>{"0"});
}

// A window procedure that runs while Stop pumps may call Start on the thread being stopped.
TEST(CThread, StartDuringStopNeitherCancelsTheStopNorAddsAThread) {
  NotificationWindow window;
  ASSERT_NE(window.Handle(), HWND{});
  NotifyingThread thread(window.Handle());
  CThread* startDuringStop = nullptr;
  int startedDuringStop = -1;
  window.OnNote([&](const std::string&) {
    if (CThread* started = startDuringStop) {
      startDuringStop = nullptr;
      startedDuringStop = started->Start() ? 1 : 0;
    }
  });
  thread.Start();
  const unsigned first = thread.ThreadId();
  while (!thread.entered) Sleep(1);
  Sleep(20);  // blocked in its notification: Stop serves it, and the procedure calls Start
  startDuringStop = &thread;

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

  EXPECT_EQ(startedDuringStop, 1);  // the thread was still there
  EXPECT_TRUE(thread.IsIdle());
  EXPECT_TRUE(thread.IsStopRequested());
  EXPECT_EQ(thread.ThreadId(), first);  // no second thread on the same object
}

// Runs WaitPumping on another thread; false when it has not returned within a minute.
bool WaitPumpingReturns(HANDLE handle) {
  auto returned = std::make_shared<std::atomic<bool>>(false);
  std::thread([handle, returned] {
    WaitPumping(handle);
    *returned = true;
  }).detach();  // left behind if it hangs, so that the test reports instead of hanging too
  for (int i = 0; i < 6000 && !*returned; ++i) Sleep(10);
  return *returned;
}

TEST(WaitPumping, ReturnsForAnUnknownHandle) {
  EXPECT_TRUE(WaitPumpingReturns(nullptr));
  EXPECT_TRUE(WaitPumpingReturns(reinterpret_cast<HANDLE>(0x4321)));
}

}  // namespace
