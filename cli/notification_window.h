// A message-only window that collects the library's send notifications (WM_COPYDATA texts)
// and pumps the calling thread's messages until the caller has what it waits for.
// Built on the platform's window functions only, so programs, tests and benchmarks share it.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class NotificationWindow {
 public:
  // Creates the window on the calling thread; that thread must do the pumping.
  NotificationWindow();
  ~NotificationWindow();
  NotificationWindow(const NotificationWindow&) = delete;
  NotificationWindow& operator=(const NotificationWindow&) = delete;

  // 0 when the window could not be created.
  HWND Handle() const { return m_hwnd; }

  // Runs inside the window procedure for every notification, before it is stored.
  void OnNote(std::function<void(const std::string&)> handler) { m_onNote = std::move(handler); }

  // Every text received so far, oldest first; Take() hands them over and starts afresh.
  const std::vector<std::string>& Notes() const { return m_notes; }
  std::vector<std::string> Take();
  // Sizes of the blocks received (cbData), in the same order as the texts.
  const std::vector<unsigned long>& BlockSizes() const { return m_sizes; }

  // Dispatches this thread's messages until `done` holds or `limit` has passed; returns done().
  // Blocks between notifications (no polling, no delay); a helper thread wakes it at the limit.
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
  // Pumps until "end" has arrived (or `limit` passed); true when it did.
  bool PumpUntilEnd(std::chrono::milliseconds limit);
  // Blocks in GetMessageA, as a program's message loop does, and looks at `done` after each
  // notification: no polling CPU and no delay. No time limit, so only for answers that surely
  // come; false when the thread's queue ends (WM_QUIT).
  bool PumpBlockingUntil(const std::function<bool()>& done);

  // The text of a notification block: up to its first NUL, never past cbData.
  static std::string TextOf(const COPYDATASTRUCT* data);

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void Receive(const COPYDATASTRUCT* data);
  // Posts WM_NULL to the window at `at` (time_point::max() disarms), so a blocked pump looks again.
  void WakeAt(std::chrono::steady_clock::time_point at);
  void WakerLoop();

  HWND m_hwnd = 0;
  std::vector<std::string> m_notes;
  std::vector<unsigned long> m_sizes;
  std::function<void(const std::string&)> m_onNote;
  bool m_blocking = false;

  std::mutex m_wakeLock;
  std::condition_variable m_wakeChanged;
  std::chrono::steady_clock::time_point m_wakeAt = std::chrono::steady_clock::time_point::max();
  bool m_wakerQuits = false;
  std::thread m_waker;  // started by the first timed pump
};
