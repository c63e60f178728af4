#include "notification_floor.h"

#include <windows.h>

#include <atomic>
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

void PumpBlockingUntilEnd(NotificationWindow& window, std::size_t notes) {
  std::size_t seen = 0;
  bool ended = false;
  window.PumpBlockingUntil([&] {
    const auto& received = window.Notes();
    for (; seen < received.size(); ++seen) ended = ended || received[seen] == "end";
    return ended && received.size() >= notes;
  });
}

MeasuredRun RunNotificationFloor(NotificationWindow& window, int count) {
  window.Take();
  std::atomic<int> next{0};
  std::atomic<int> left{3};
  HWND target = window.Handle();
  auto worker = [&] {
    for (int i; (i = next++) < count;) NotifyCaller(target, std::to_string(1000 + i));
    if (--left == 0) NotifyCaller(target, "end");
  };
  return Measure([&] {
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) threads.emplace_back(worker);
    PumpBlockingUntilEnd(window);
    for (auto& thread : threads) thread.join();
  });
}
