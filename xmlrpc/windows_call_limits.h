// The Windows build's limits on one API request, which WinInet itself does not have: the whole
// call ends by NORVOSMS_TIMEOUT, and an answer past NORVOSMS_MAX_ANSWER is refused while it
// arrives. (On Linux the platform layer applies both inside its WinInet functions.)
#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstddef>
#include <string>

#include "xmlrpc/http_settings.h"

class WindowsCallLimits {
 public:
  explicit WindowsCallLimits(const HttpSettings& settings) : m_settings(settings) {}
  ~WindowsCallLimits() { Finish(); }
  WindowsCallLimits(const WindowsCallLimits&) = delete;
  WindowsCallLimits& operator=(const WindowsCallLimits&) = delete;

  // Starts the deadline for `request`: WinInet's own time-outs end where it ends, and a timer
  // closes the handle then, which ends a read blocked on it. False (with the last error set)
  // when no timer could be had.
  bool Arm(HINTERNET request);
  // Stops the timer and closes the request handle unless the deadline already did, then
  // `parent` when given (the connection the request was opened on). Once it returns the timer
  // never touches the handle again, so a later request may reuse its value. True when the
  // deadline passed.
  bool Finish(HINTERNET parent = nullptr);
  bool DeadlinePassed() const { return m_bPassed.load(); }

  // Sends the request with `body` once, never again on a fresh connection when a kept one dies
  // under it; given up at the deadline (ERROR_INTERNET_TIMEOUT) even when WinInet is still blocked in it.
  BOOL SendRequest(HINTERNET request, const std::string& body);

  // Whether an answer whose head announces more than the limit should be refused unread.
  bool AnnouncedTooLarge(HINTERNET request);
  // Whether `available` more bytes after `received` would pass the limit.
  bool TooLarge(std::size_t received, DWORD available);
  // Either saying yes leaves the rest of the answer unread, which Finish closes on a helper
  // thread, waiting for it until the deadline only.

 private:
  static VOID CALLBACK Expire(PVOID self, BOOLEAN);
  bool Refuse(bool tooLarge) {
    m_bUnread = m_bUnread || tooLarge;
    return tooLarge;
  }

  HttpSettings m_settings;
  HINTERNET m_hRequest = nullptr;
  HANDLE m_hTimer = nullptr;
  ULONGLONG m_deadline = 0;  // GetTickCount64 at which the call ends
  std::atomic<bool> m_bPassed{false};
  bool m_bUnread = false;
};
