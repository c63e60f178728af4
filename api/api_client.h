// The library's one client object: identity, send queue and workers, batch counters and the
// buffer that text results point into.
#pragma once

#include <synchapi.h>
#include <windows.h>

#include <deque>
#include <string>
#include <vector>

struct MessageRecord;
class CTransThread;

class ApiClient {
 public:
  ApiClient();
  ~ApiClient();
  ApiClient(const ApiClient&) = delete;
  ApiClient& operator=(const ApiClient&) = delete;

  // Lifecycle and the public-IP call.
  void SetIdentity(const std::string& userId, const std::string& apiKey);
  const char* HostIPSMS();
  // Discards queued messages, stops and deletes the workers, resets the counters.
  void EndSending();

  // Login.
  const char* CheckLogin(std::string userId, std::string apiKey, std::string ipAddress, std::string adapterAddress);

  // Sending and the workers.
  void SendSMS(HWND hWnd, std::string phone, std::string callback, std::string message, std::string reserve,
               std::string refKey, int total, std::string usears);
  void SendLMS(HWND hWnd, std::string phone, std::string callback, std::string subject, std::string message,
               std::string reserve, std::string refKey, int total, std::string usears);
  void CreateThreadDll();
  void StartSMS();
  void StopSMS();
  void DestroyThread();
  bool ThreadIsFinished();

  // The sending machinery behind them (the caller's thread enqueues, the workers send).
  void Enqueue(HWND hWnd, MessageRecord* pRecord, const char* kind, int total);
  // One unit of a worker's work; false when the queue was empty.
  bool SendNext();
  // Sleeps until a message is queued, an "end" is due or the worker is asked to stop.
  void WaitForWork(const class CThread& worker);
  void WakeWorkers();
  HWND NotifyWindow();

  // Phone authentication.
  const char* PhoneAuth(std::string phoneNumber, std::string adapterAddress);
  const char* ReSendAuthNum(std::string phoneNumber, std::string adapterAddress);
  const char* AuthNumCheck(std::string adapterAddress, std::string authNumber);

  // Account.
  const char* GetSmsUserName();
  const char* GetUserPhoneNum();
  int GetSmsCount();
  int GetArsCount();

  // Address book and history.
  const char* PhoneBookGroupList();
  const char* PhoneBookList(std::string groupName);
  const char* InsertGroup(std::string groupName);
  int InsertPhoneList(std::string groupName, std::string name, std::string phone, std::string tel, std::string email);
  const char* GetARSGroupList();
  const char* RecentSendList();
  const char* GetStatusByRef_All(std::string refKey);

  std::string m_sSmsId;
  std::string m_sAccessToken;
  HWND m_hNotifyWnd;                                       // under m_csQueue: the workers read it
  std::deque<MessageRecord*> m_queue;                      // owned, oldest first
  CRITICAL_SECTION m_csQueue;                              // guards the queue, m_sSendType, the counters, g_bEndSent
  CONDITION_VARIABLE m_cvQueue = CONDITION_VARIABLE_INIT;  // idle workers sleep on it
  std::string m_sSendType;                                 // "sms" or "lms"
  std::vector<CTransThread*> m_workers;                    // owned
  int m_nTotal;
  int m_nDone;
  std::string m_sResult;  // text results point here until the next text call or FreeDll
  int m_nQueued;
};
