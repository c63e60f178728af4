// Window classes, windows and their message queues: one queue per thread, sent and posted messages.
#include <winerror.h>
#include <winuser.h>

#include "handle_table.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

// Windows and their message queues, shared by every module of the process because this
// library is loaded once. One lock guards all of it; each thread waits on its own queue's
// condition variable.
namespace {

// Windows refuses to post beyond this many messages to one thread's queue.
constexpr std::size_t kPostedLimit = 10000;
constexpr HWND kFirstWindow = 0x00010010;
constexpr HWND kLastWindow = 0x7FFF0000;

struct ThreadQueue;

struct SentMessage {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT result = 0;
  bool done = false;
  std::shared_ptr<ThreadQueue> sender;
};

struct ThreadQueue {
  std::condition_variable wake;
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<SentMessage>> sent;
  bool quitPosted = false;
  int quitCode = 0;
  bool ended = false;
};

struct Window {
  WNDPROC procedure;
  std::shared_ptr<ThreadQueue> owner;
  std::string classKey;
  bool destroying = false;
};

struct WindowClass {
  WNDPROC procedure;
  ATOM atom;
};

struct MessageState {
  std::mutex mutex;
  std::unordered_map<std::string, WindowClass> classes;
  norvosms::platform::HandleTable<HWND, std::unique_ptr<Window>> windows;
  HWND nextWindow = kFirstWindow;
  ATOM nextAtom = 0xC000;
};

MessageState& State() {
  static MessageState* state = new MessageState;  // outlives threads still ending at exit
  return *state;
}

std::string ClassKey(LPCSTR name) {
  std::string key(name);
  std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
  return key;
}

void Complete(SentMessage& sent, LRESULT result) {
  sent.result = result;
  sent.done = true;
  if (sent.sender) sent.sender->wake.notify_all();
}

// Wakes the queue's thread with the lock let go for the moment, so that it does not wake
// only to wait for the lock; the queue is held by value while the lock is free.
void WakeUnlocked(std::unique_lock<std::mutex>& lock, std::shared_ptr<ThreadQueue> queue) {
  lock.unlock();
  if (queue) queue->wake.notify_all();
  lock.lock();
}

// Ends the thread's queue when the thread ends: its windows go, waiting senders get 0.
struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  ~QueueHolder() {
    if (!queue) return;
    MessageState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    queue->ended = true;
    state.windows.RemoveIf([this](const Window& window) { return window.owner == queue; });
    for (auto& sent : queue->sent) Complete(*sent, 0);
    queue->sent.clear();
    queue->posted.clear();
  }
};

thread_local QueueHolder t_queue;

// Call with the lock held.
const std::shared_ptr<ThreadQueue>& CurrentQueue() {
  if (!t_queue.queue) t_queue.queue = std::make_shared<ThreadQueue>();
  return t_queue.queue;
}

Window* FindWindowLocked(HWND hwnd) { return State().windows.Find(hwnd); }

// Runs one message sent from another thread; the lock is released around the procedure.
void ServeSent(std::unique_lock<std::mutex>& lock, const std::shared_ptr<SentMessage>& sent) {
  Window* window = FindWindowLocked(sent->hwnd);
  if (window == nullptr || window->owner != t_queue.queue) {
    Complete(*sent, 0);
    return;
  }
  WNDPROC procedure = window->procedure;
  lock.unlock();
  LRESULT result = procedure(sent->hwnd, sent->message, sent->wParam, sent->lParam);
  lock.lock();
  sent->result = result;
  sent->done = true;
  WakeUnlocked(lock, sent->sender);
}

void ServeAllSent(std::unique_lock<std::mutex>& lock, ThreadQueue& queue) {
  while (!queue.sent.empty()) {
    std::shared_ptr<SentMessage> sent = queue.sent.front();
    queue.sent.pop_front();
    ServeSent(lock, sent);
  }
}

bool Matches(const MSG& msg, HWND filter, UINT low, UINT high) {
  if (filter == static_cast<HWND>(-1) && msg.hwnd != 0) return false;
  if (filter != 0 && filter != static_cast<HWND>(-1) && msg.hwnd != filter) return false;
  return (low == 0 && high == 0) || (msg.message >= low && msg.message <= high);
}

DWORD TickNow() {
  using namespace std::chrono;
  return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Serves sent messages, then takes the first matching posted message (WM_QUIT last).
bool TakeMessage(std::unique_lock<std::mutex>& lock, LPMSG out, HWND filter, UINT low, UINT high, bool remove) {
  ThreadQueue& queue = *CurrentQueue();
  ServeAllSent(lock, queue);
  for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
    if (!Matches(*it, filter, low, high)) continue;
    *out = *it;
    if (remove) queue.posted.erase(it);
    return true;
  }
  MSG quit{0, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, TickNow(), {0, 0}};
  if (queue.quitPosted && Matches(quit, filter == static_cast<HWND>(-1) ? 0 : filter, low, high)) {
    *out = quit;
    if (remove) queue.quitPosted = false;
    return true;
  }
  return false;
}

bool ValidFilter(HWND filter) {
  return filter == 0 || filter == static_cast<HWND>(-1) || FindWindowLocked(filter) != nullptr;
}

}  // namespace

// Classes live in a process-wide table by case-insensitive name; hInstance is not consulted.
extern "C" ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass) {
  if (lpWndClass == nullptr || lpWndClass->lpfnWndProc == nullptr || lpWndClass->lpszClassName == nullptr ||
      lpWndClass->lpszClassName[0] == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  MessageState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  std::string key = ClassKey(lpWndClass->lpszClassName);
  if (state.classes.count(key) != 0) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  ATOM atom = state.nextAtom++;
  state.classes.emplace(key, WindowClass{lpWndClass->lpfnWndProc, atom});
  return atom;
}

// Windows already made keep their procedure.
extern "C" BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE /*hInstance*/) {
  if (lpClassName == nullptr) return FALSE;
  MessageState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.classes.erase(ClassKey(lpClassName)) == 0) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return FALSE;
  }
  return TRUE;
}

// Every window is message-only (there is no display): it has a procedure and belongs to
// the creating thread, whatever parent is given. WM_CREATE returning -1 cancels it.
extern "C" HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                                       int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                                       HINSTANCE hInstance, LPVOID lpParam) {
  if (lpClassName == nullptr) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return 0;
  }
  MessageState& state = State();
  HWND hwnd = 0;
  WNDPROC procedure = nullptr;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    auto cls = state.classes.find(ClassKey(lpClassName));
    if (cls == state.classes.end()) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return 0;
    }
    procedure = cls->second.procedure;
    do {
      hwnd = state.nextWindow;
      state.nextWindow = hwnd >= kLastWindow ? kFirstWindow : hwnd + 2;
    } while (state.windows.Contains(hwnd));
    state.windows.Add(hwnd, std::make_unique<Window>(Window{procedure, CurrentQueue(), cls->first}));
  }
  CREATESTRUCTA create{
      lpParam,      hInstance,   hMenu,    hWndParent, nHeight, nWidth, Y, X, static_cast<LONG>(dwStyle),
      lpWindowName, lpClassName, dwExStyle};
  if (procedure(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(hwnd);
    return 0;
  }
  return hwnd;
}

// Only the owning thread may destroy a window. WM_DESTROY goes to the procedure first;
// then posted messages for the window are dropped and waiting senders get 0.
extern "C" BOOL WINAPI DestroyWindow(HWND hWnd) {
  MessageState& state = State();
  std::unique_lock<std::mutex> lock(state.mutex);
  Window* window = FindWindowLocked(hWnd);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (window->owner != t_queue.queue) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (window->destroying) return TRUE;
  window->destroying = true;
  WNDPROC procedure = window->procedure;
  lock.unlock();
  procedure(hWnd, WM_DESTROY, 0, 0);
  lock.lock();
  ThreadQueue& queue = *t_queue.queue;
  state.windows.Remove(hWnd);
  queue.posted.erase(
      std::remove_if(queue.posted.begin(), queue.posted.end(), [hWnd](const MSG& m) { return m.hwnd == hWnd; }),
      queue.posted.end());
  for (auto it = queue.sent.begin(); it != queue.sent.end();) {
    if ((*it)->hwnd == hWnd) {
      Complete(**it, 0);
      it = queue.sent.erase(it);
    } else {
      ++it;
    }
  }
  return TRUE;
}

// A table lookup: handles of destroyed windows are not reused until the 32-bit space wraps.
extern "C" BOOL WINAPI IsWindow(HWND hWnd) {
  MessageState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  return FindWindowLocked(hWnd) != nullptr ? TRUE : FALSE;
}

// WM_CLOSE destroys the window, as on Windows; everything else gives 0.
extern "C" LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM /*wParam*/, LPARAM /*lParam*/) {
  if (Msg == WM_CLOSE) DestroyWindow(hWnd);
  return 0;
}

// Same thread: a direct call. Another thread: queued for the owner, which runs it when it
// next peeks or gets messages; meanwhile this thread serves messages sent to it. A null or
// dead window, or one whose thread has ended, gives 0 at once.
extern "C" LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  MessageState& state = State();
  std::unique_lock<std::mutex> lock(state.mutex);
  Window* window = FindWindowLocked(hWnd);
  if (window == nullptr || window->owner->ended) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (window->owner == t_queue.queue) {
    WNDPROC procedure = window->procedure;
    lock.unlock();
    return procedure(hWnd, Msg, wParam, lParam);
  }
  const std::shared_ptr<ThreadQueue>& me = CurrentQueue();
  auto sent = std::make_shared<SentMessage>(SentMessage{hWnd, Msg, wParam, lParam, 0, false, me});
  window->owner->sent.push_back(sent);
  WakeUnlocked(lock, window->owner);
  while (!sent->done) {
    if (!me->sent.empty()) {
      ServeAllSent(lock, *me);
      continue;
    }
    me->wake.wait(lock);
  }
  return sent->result;
}

// hWnd 0 posts a thread message to the calling thread. Bounded like Windows' queues.
extern "C" BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  MessageState& state = State();
  std::unique_lock<std::mutex> lock(state.mutex);
  std::shared_ptr<ThreadQueue> target;
  if (hWnd == 0) {
    target = CurrentQueue();
  } else {
    Window* window = FindWindowLocked(hWnd);
    if (window == nullptr || window->owner->ended) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    target = window->owner;
  }
  if (target->posted.size() >= kPostedLimit) {
    SetLastError(ERROR_NOT_ENOUGH_QUOTA);
    return FALSE;
  }
  target->posted.push_back(MSG{hWnd, Msg, wParam, lParam, TickNow(), {0, 0}});
  lock.unlock();
  target->wake.notify_all();
  return TRUE;
}

// WM_QUIT is handed out once the queue holds nothing else that matches.
extern "C" void WINAPI PostQuitMessage(int nExitCode) {
  MessageState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  const std::shared_ptr<ThreadQueue>& me = CurrentQueue();
  me->quitPosted = true;
  me->quitCode = nExitCode;
  me->wake.notify_all();
}

// Serves messages sent by other threads first, as on Windows, then looks at posted ones.
extern "C" BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
  if (lpMsg == nullptr) return FALSE;
  MessageState& state = State();
  std::unique_lock<std::mutex> lock(state.mutex);
  if (!ValidFilter(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TakeMessage(lock, lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0) ? TRUE : FALSE;
}

// Blocks until a posted message matches; 0 for WM_QUIT, -1 for a bad window or buffer.
extern "C" BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  if (lpMsg == nullptr) return -1;
  MessageState& state = State();
  std::unique_lock<std::mutex> lock(state.mutex);
  if (!ValidFilter(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  ThreadQueue& queue = *CurrentQueue();
  while (!TakeMessage(lock, lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true)) {
    if (hWnd != 0 && hWnd != static_cast<HWND>(-1) && FindWindowLocked(hWnd) == nullptr) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return -1;  // the window went away while we waited
    }
    queue.wake.wait(lock);
  }
  return lpMsg->message == WM_QUIT ? FALSE : TRUE;
}

// There is no keyboard input here, so no character messages are ever made.
extern "C" BOOL WINAPI TranslateMessage(const MSG* /*lpMsg*/) { return FALSE; }

// Calls the window's procedure; thread messages and unknown windows give 0.
extern "C" LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
  if (lpMsg == nullptr || lpMsg->hwnd == 0) return 0;
  WNDPROC procedure = nullptr;
  {
    MessageState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    Window* window = FindWindowLocked(lpMsg->hwnd);
    if (window == nullptr) return 0;
    procedure = window->procedure;
  }
  return procedure(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}
