// The sending and worker exports. Parameters are destroyed on every path; no exception
// leaves an export (a failed allocation drops the message).
#include "api/NorvoSMS.h"

#include "api/client_instance.h"

extern "C" void WINAPI SendSMS(HWND hWnd, std::string phone, std::string callback, std::string message,
                               std::string reserve, std::string refKey, int total, std::string usears) {
  if (!g_pApiClient) return;
  try {
    g_pApiClient->SendSMS(hWnd, phone, callback, message, reserve, refKey, total, usears);
  } catch (...) {
  }
}

extern "C" void WINAPI SendLMS(HWND hWnd, std::string phone, std::string callback, std::string subject,
                               std::string message, std::string reserve, std::string refKey, int total,
                               std::string usears) {
  if (!g_pApiClient) return;
  try {
    g_pApiClient->SendLMS(hWnd, phone, callback, subject, message, reserve, refKey, total, usears);
  } catch (...) {
  }
}

extern "C" void WINAPI CreateThreadDll(void) {
  if (!g_pApiClient) return;
  try {
    g_pApiClient->CreateThreadDll();
  } catch (...) {
  }
}

extern "C" void WINAPI StartSMS(void) {
  if (g_pApiClient) g_pApiClient->StartSMS();
}

extern "C" void WINAPI StopSMS(void) {
  if (g_pApiClient) g_pApiClient->StopSMS();
}

extern "C" void WINAPI DestroyThread(void) {
  if (g_pApiClient) g_pApiClient->DestroyThread();
}

extern "C" bool ThreadIsFinished(void) { return g_pApiClient ? g_pApiClient->ThreadIsFinished() : false; }
