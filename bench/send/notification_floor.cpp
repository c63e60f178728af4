#include "notification_floor.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "cli/notification_window.h"

void NotifyCaller(HWND window, const std::string& text) {
  COPYDATASTRUCT data{};
  data.cbData = static_cast<DWORD>(text.size() + 1);
  data.lpData = const_cast<char*>(text.c_str());
  SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

void PumpUntilEnd(NotificationWindow& window) {
  std::size_t seen = 0;
  bool ended = false;
  window.PumpBlockingUntil([&] {
    const auto& notes = window.Notes();
    for (; seen < notes.size(); ++seen) ended = ended || notes[seen] == "end";
    return ended;
  });
}

NotificationRun RunNotificationFloor(NotificationWindow& window, int count) {
  window.Take();
  std::atomic<int> next{0};
  std::atomic<int> left{3};
  HWND target = window.Handle();
  auto worker = [&] {
    for (int i; (i = next++) < count;) NotifyCaller(target, std::to_string(1000 + i));
    if (--left == 0) NotifyCaller(target, "end");
  };
  NotificationRun run;
  auto start = std::chrono::steady_clock::now();
  ProcessUsage before = ProcessUsage::Now();
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) threads.emplace_back(worker);
  PumpUntilEnd(window);
  for (auto& thread : threads) thread.join();
  ProcessUsage after = ProcessUsage::Now();
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.used = {after.user - before.user, after.system - before.system, after.switches - before.switches,
              after.preempted - before.preempted, after.faults - before.faults};
  return run;
}
