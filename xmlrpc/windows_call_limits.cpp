#include "xmlrpc/windows_call_limits.h"

#include <functional>
#include <utility>

namespace {

// Work on a helper thread that the caller waits for only until the deadline. Whoever of the
// caller and the helper lets go last frees it, so a caller gone at the deadline leaves the
// helper nothing that is freed under it.
struct HelperJob {
  std::function<BOOL()> run;
  HANDLE done = nullptr;
  HMODULE module = nullptr;
  BOOL result = FALSE;
  DWORD error = 0;
  LONG refs = 2;
};

void Release(HelperJob* job) {
  if (InterlockedDecrement(&job->refs) == 0) {
    CloseHandle(job->done);
    delete job;
  }
}

DWORD WINAPI RunHelperJob(LPVOID argument) {
  auto* job = static_cast<HelperJob*>(argument);
  job->result = job->run();
  job->error = job->result ? 0 : GetLastError();
  SetEvent(job->done);
  HMODULE module = job->module;
  Release(job);
  // The thread holds a reference to the module its code is in, so a DLL unloaded meanwhile
  // stays loaded until this returns.
  FreeLibraryAndExitThread(module, 0);
}

enum class HelperOutcome { Done, Late, NoThread };

// Runs `run` on a helper thread until `deadline` (GetTickCount64); Done gives its result and
// error, NoThread (nothing run) the error of the attempt.
HelperOutcome RunOnHelper(ULONGLONG deadline, std::function<BOOL()> run, BOOL& result, DWORD& error) {
  auto* job = new HelperJob{std::move(run), CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  HANDLE thread = nullptr;
  if (job->done && GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&RunHelperJob),
                                      &job->module)) {
    thread = CreateThread(nullptr, 0, &RunHelperJob, job, 0, nullptr);
    if (!thread) FreeLibrary(job->module);
  }
  if (!thread) {
    error = GetLastError();
    if (job->done) CloseHandle(job->done);
    delete job;
    return HelperOutcome::NoThread;
  }
  CloseHandle(thread);
  ULONGLONG now = GetTickCount64();
  DWORD waitMs = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
  HelperOutcome outcome = HelperOutcome::Late;
  if (WaitForSingleObject(job->done, waitMs) == WAIT_OBJECT_0) {
    outcome = HelperOutcome::Done;
    result = job->result;
    error = job->error;
  }
  Release(job);
  return outcome;
}

// A request with a body goes out through HttpSendRequestEx, InternetWriteFile and HttpEndRequest.
// HttpSendRequest sends a request once more on a fresh connection when a kept one dies under it,
// and WinInet keeps a connection whenever the server's answer allows it, whatever the request's
// flags; on this path a dead connection is reported instead (ERROR_INTERNET_FORCE_RETRY on
// Windows, no answer head under Wine), and such a failure is never redone: the server may hold
// the message. A request without a body (the manifest's GET) may go again.
BOOL SendOnce(HINTERNET request, std::string& body) {
  if (body.empty()) return HttpSendRequestA(request, nullptr, 0, nullptr, 0);
  INTERNET_BUFFERSA buffers{};
  buffers.dwStructSize = sizeof buffers;
  buffers.dwBufferTotal = static_cast<DWORD>(body.size());
  if (!HttpSendRequestExA(request, &buffers, nullptr, 0, 0)) return FALSE;
  for (std::size_t at = 0; at < body.size();) {
    DWORD written = 0;
    if (!InternetWriteFile(request, body.data() + at, static_cast<DWORD>(body.size() - at), &written)) return FALSE;
    if (written == 0) {
      SetLastError(ERROR_INTERNET_CONNECTION_ABORTED);
      return FALSE;
    }
    at += written;
  }
  if (HttpEndRequestA(request, nullptr, 0, 0)) return TRUE;
  const DWORD error = GetLastError();
  // The connection ended without an answer: worded as HttpSendRequest words it.
  if (error == ERROR_INTERNET_FORCE_RETRY || error == ERROR_HTTP_HEADER_NOT_FOUND)
    SetLastError(ERROR_INTERNET_CONNECTION_ABORTED);
  return FALSE;
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
    m_hRequest = nullptr;  // the caller closes it
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
  BOOL sent = FALSE;
  DWORD error = ERROR_INTERNET_TIMEOUT;
  auto send = [request, text = body]() mutable { return SendOnce(request, text); };
  RunOnHelper(m_deadline, std::move(send), sent, error);
  SetLastError(sent ? 0 : error);
  return sent;
}

bool WindowsCallLimits::Finish(HINTERNET parent) {
  if (m_hTimer) {
    // INVALID_HANDLE_VALUE: wait for a callback already running, so none comes late.
    DeleteTimerQueueTimer(nullptr, m_hTimer, INVALID_HANDLE_VALUE);
    m_hTimer = nullptr;
  }
  HINTERNET request = m_bPassed.load() ? nullptr : m_hRequest;
  m_hRequest = nullptr;
  auto close = [request, parent] {
    if (request) InternetCloseHandle(request);
    if (parent) InternetCloseHandle(parent);
    return TRUE;
  };
  if (!request || !m_bUnread) {
    close();
    return m_bPassed.load();
  }
  // Wine's WinInet reads what is left of an announced body when the last reference to its
  // handle goes, for as long as the server keeps it coming. That close runs on a helper
  // (request first, so that closing the parent cannot be what drops it), and the caller waits
  // for it until the deadline only.
  BOOL closed = FALSE;
  DWORD error = 0;
  if (RunOnHelper(m_deadline, close, closed, error) == HelperOutcome::NoThread) close();
  return m_bPassed.load();
}

bool WindowsCallLimits::AnnouncedTooLarge(HINTERNET request) {
  char text[32] = {0};
  DWORD size = sizeof text - 1;
  if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return false;
  unsigned long long announced = 0;
  for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
    announced = announced * 10 + static_cast<unsigned>(*p - '0');
    if (announced > m_settings.maxAnswerBytes) return Refuse(true);  // stops before it could overflow
  }
  return false;
}

bool WindowsCallLimits::TooLarge(std::size_t received, DWORD available) {
  return Refuse(received + available > m_settings.maxAnswerBytes);
}
