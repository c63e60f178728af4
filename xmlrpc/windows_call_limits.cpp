#include "xmlrpc/windows_call_limits.h"

namespace {

// One send on a helper thread. Whoever of the caller and the helper lets go last frees it, so
// a caller gone at the deadline leaves the helper nothing that is freed under it.
struct PendingSend {
  HINTERNET request;
  std::string body;
  HANDLE done;
  HMODULE module;
  BOOL sent = FALSE;
  DWORD error = 0;
  LONG refs = 2;
};

void Release(PendingSend* pending) {
  if (InterlockedDecrement(&pending->refs) == 0) {
    CloseHandle(pending->done);
    delete pending;
  }
}

DWORD WINAPI SendOnHelper(LPVOID argument) {
  auto* pending = static_cast<PendingSend*>(argument);
  pending->sent =
      HttpSendRequestA(pending->request, nullptr, 0, pending->body.data(), static_cast<DWORD>(pending->body.size()));
  pending->error = pending->sent ? 0 : GetLastError();
  SetEvent(pending->done);
  HMODULE module = pending->module;
  Release(pending);
  // The thread holds a reference to the module its code is in, so a DLL unloaded meanwhile
  // stays loaded until this returns.
  FreeLibraryAndExitThread(module, 0);
}

}  // namespace

bool WindowsCallLimits::Arm(HINTERNET request) {
  m_hRequest = request;
  DWORD dueMs = static_cast<DWORD>(m_settings.timeoutSeconds * 1000);
  m_deadline = GetTickCount64() + dueMs;
  // A server that stays silent meets WinInet's own time-outs at the deadline.
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
    InternetSetOptionA(request, option, &dueMs, sizeof dueMs);
  if (!CreateTimerQueueTimer(&m_hTimer, nullptr, &WindowsCallLimits::Expire, this, dueMs, 0, WT_EXECUTEONLYONCE)) {
    m_hTimer = nullptr;
    return false;
  }
  return true;
}

// Closing a handle another thread is blocked on is what ends that call on Windows; WinInet
// documents it as safe only for asynchronous handles, which is the known risk the README names.
VOID CALLBACK WindowsCallLimits::Expire(PVOID self, BOOLEAN) {
  auto* limits = static_cast<WindowsCallLimits*>(self);
  limits->m_bPassed.store(true);
  InternetCloseHandle(limits->m_hRequest);
}

// WinInet reads the whole head inside HttpSendRequest, and a server that drips it renews the
// socket's time-out with every byte; Wine's WinInet does not end the call when its handle is
// closed. So the send runs on a helper thread and the caller waits for it until the deadline.
BOOL WindowsCallLimits::SendRequest(HINTERNET request, const std::string& body) {
  auto* pending = new PendingSend{request, body, CreateEventA(nullptr, TRUE, FALSE, nullptr), nullptr};
  HANDLE thread = nullptr;
  if (pending->done && GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                          reinterpret_cast<LPCSTR>(&SendOnHelper), &pending->module)) {
    thread = CreateThread(nullptr, 0, &SendOnHelper, pending, 0, nullptr);
    if (!thread) FreeLibrary(pending->module);
  }
  if (!thread) {
    DWORD error = GetLastError();
    if (pending->done) CloseHandle(pending->done);
    delete pending;
    SetLastError(error);
    return FALSE;
  }
  CloseHandle(thread);
  ULONGLONG now = GetTickCount64();
  DWORD waitMs = now < m_deadline ? static_cast<DWORD>(m_deadline - now) : 0;
  BOOL sent = FALSE;
  DWORD error = ERROR_INTERNET_TIMEOUT;
  if (WaitForSingleObject(pending->done, waitMs) == WAIT_OBJECT_0) {
    sent = pending->sent;
    error = pending->error;
  }
  Release(pending);
  SetLastError(sent ? 0 : error);
  return sent;
}

bool WindowsCallLimits::Finish() {
  if (!m_hRequest) return m_bPassed.load();
  if (m_hTimer) {
    // INVALID_HANDLE_VALUE: wait for a callback already running, so none comes late.
    DeleteTimerQueueTimer(nullptr, m_hTimer, INVALID_HANDLE_VALUE);
    m_hTimer = nullptr;
  }
  if (!m_bPassed.load()) InternetCloseHandle(m_hRequest);
  m_hRequest = nullptr;
  return m_bPassed.load();
}

bool WindowsCallLimits::AnnouncedTooLarge(HINTERNET request) const {
  char text[32] = {0};
  DWORD size = sizeof text - 1;
  if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return false;
  unsigned long long announced = 0;
  for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
    announced = announced * 10 + static_cast<unsigned>(*p - '0');
    if (announced > m_settings.maxAnswerBytes) return true;  // stops before it could overflow
  }
  return false;
}
