#include "cli/notification_window.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <thread>

namespace {

constexpr const char kClassName[] = "NorvoSMSNotificationWindow";

// The platform has no per-window user data, so windows find their object here.
std::mutex g_windowsLock;
std::map<HWND, NotificationWindow*> g_windows;

NotificationWindow* Find(HWND hwnd) {
  std::lock_guard<std::mutex> lock(g_windowsLock);
  auto it = g_windows.find(hwnd);
  return it == g_windows.end() ? nullptr : it->second;
}

}  // namespace

NotificationWindow::NotificationWindow() {
  static const bool registered = [] {
    WNDCLASSA cls{};
    cls.lpfnWndProc = Procedure;
    cls.lpszClassName = kClassName;
    return RegisterClassA(&cls) != 0;
  }();
  (void)registered;  // a class registered earlier in the process serves as well
  m_hwnd = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (m_hwnd != 0) {
    std::lock_guard<std::mutex> lock(g_windowsLock);
    g_windows[m_hwnd] = this;
  }
}

NotificationWindow::~NotificationWindow() {
  if (m_waker.joinable()) {
    {
      std::lock_guard<std::mutex> lock(m_wakeLock);
      m_wakerQuits = true;
    }
    m_wakeChanged.notify_one();
    m_waker.join();
  }
  if (m_hwnd == 0) return;
  {
    std::lock_guard<std::mutex> lock(g_windowsLock);
    g_windows.erase(m_hwnd);
  }
  DestroyWindow(m_hwnd);
}

std::vector<std::string> NotificationWindow::Take() {
  std::vector<std::string> notes;
  notes.swap(m_notes);
  m_sizes.clear();
  return notes;
}

bool NotificationWindow::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  using Clock = std::chrono::steady_clock;
  const auto until = Clock::now() + limit;
  if (done()) return true;
  if (m_hwnd == 0) {  // nothing can arrive without a window
    std::this_thread::sleep_until(until);
    return done();
  }
  WakeAt(until);
  PumpBlockingUntil([&] { return done() || Clock::now() >= until; });
  WakeAt(Clock::time_point::max());
  return done();
}

void NotificationWindow::WakeAt(std::chrono::steady_clock::time_point at) {
  {
    std::lock_guard<std::mutex> lock(m_wakeLock);
    m_wakeAt = at;
    if (!m_waker.joinable() && at != std::chrono::steady_clock::time_point::max())
      m_waker = std::thread([this] { WakerLoop(); });
  }
  m_wakeChanged.notify_one();
}

void NotificationWindow::WakerLoop() {
  std::unique_lock<std::mutex> lock(m_wakeLock);
  while (!m_wakerQuits) {
    if (m_wakeAt == std::chrono::steady_clock::time_point::max()) {
      m_wakeChanged.wait(lock);
    } else if (m_wakeChanged.wait_until(lock, m_wakeAt) == std::cv_status::timeout &&
               std::chrono::steady_clock::now() >= m_wakeAt) {
      m_wakeAt = std::chrono::steady_clock::time_point::max();
      PostMessageA(m_hwnd, WM_NULL, 0, 0);
    }
  }
}

bool NotificationWindow::PumpUntilEnd(std::chrono::milliseconds limit) {
  return PumpUntil([this] { return std::find(m_notes.begin(), m_notes.end(), "end") != m_notes.end(); }, limit);
}

bool NotificationWindow::PumpBlockingUntil(const std::function<bool()>& done) {
  m_blocking = true;
  MSG msg;
  bool running = true;
  while (!done() && (running = GetMessageA(&msg, 0, 0, 0) > 0)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  m_blocking = false;
  return running;
}

std::string NotificationWindow::TextOf(const COPYDATASTRUCT* data) {
  if (data == nullptr || data->lpData == nullptr) return "";
  const char* text = static_cast<const char*>(data->lpData);
  std::size_t length = 0;
  while (length < data->cbData && text[length] != '\0') ++length;
  return std::string(text, length);
}

void NotificationWindow::Receive(const COPYDATASTRUCT* data) {
  std::string text = TextOf(data);
  if (m_onNote) m_onNote(text);
  m_sizes.push_back(data != nullptr ? data->cbData : 0);
  m_notes.push_back(std::move(text));
  // A sent message is served inside GetMessageA without it returning; a posted one wakes it.
  if (m_blocking) PostMessageA(m_hwnd, WM_NULL, 0, 0);
}

LRESULT CALLBACK NotificationWindow::Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COPYDATA) {
    if (NotificationWindow* window = Find(hwnd)) window->Receive(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    return 1;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}
