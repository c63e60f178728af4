// The sending side of ApiClient: the queue, the three workers and the batch counters.
#include "api/api_client.h"

#include <algorithm>

#include "api/api_call.h"
#include "api/message_record.h"
#include "api/send_notification.h"
#include "api/trans_thread.h"

namespace {

// Only the first three workers of the pool are ever started.
constexpr std::size_t kStartedWorkers = 3;

class QueueLock {
 public:
  explicit QueueLock(CRITICAL_SECTION& cs) : m_cs(cs) { EnterCriticalSection(&m_cs); }
  ~QueueLock() { LeaveCriticalSection(&m_cs); }
  QueueLock(const QueueLock&) = delete;
  QueueLock& operator=(const QueueLock&) = delete;

 private:
  CRITICAL_SECTION& m_cs;
};

}  // namespace

// The end of a batch has been reported; every Enqueue clears it. Guarded by m_csQueue.
bool g_bEndSent = false;

// FreeDll ends sending exactly as DestroyThread does.
void ApiClient::EndSending() { DestroyThread(); }

void ApiClient::SendSMS(HWND hWnd, std::string phone, std::string callback, std::string message, std::string reserve,
                        std::string refKey, int total, std::string usears) {
  auto* record = new MessageRecord{std::move(phone),  std::move(callback), std::move(message), std::move(reserve),
                                   std::move(refKey), std::move(usears),   std::string()};
  Enqueue(hWnd, record, "sms", total);
}

void ApiClient::SendLMS(HWND hWnd, std::string phone, std::string callback, std::string subject, std::string message,
                        std::string reserve, std::string refKey, int total, std::string usears) {
  auto* record = new MessageRecord{std::move(phone),  std::move(callback), std::move(message), std::move(reserve),
                                   std::move(refKey), std::move(usears),   std::move(subject)};
  Enqueue(hWnd, record, "lms", total);
}

void ApiClient::Enqueue(HWND hWnd, MessageRecord* pRecord, const char* kind, int total) {
  bool complete = false;
  {
    // The window is written under the lock too: the workers read it for every notification.
    QueueLock lock(m_csQueue);
    m_hNotifyWnd = hWnd;
    m_queue.push_back(pRecord);
    m_sSendType = kind;
    ++m_nQueued;
    m_nTotal = total;
    g_bEndSent = false;
    complete = m_nTotal == m_nQueued;
  }
  WakeAllConditionVariable(&m_cvQueue);  // running workers take it at once
  if (!complete) return;
  for (std::size_t i = 0; i < std::min(kStartedWorkers, m_workers.size()); ++i) {
    if (m_workers[i]->IsIdle()) m_workers[i]->Start();
  }
}

HWND ApiClient::NotifyWindow() {
  QueueLock lock(m_csQueue);
  return m_hNotifyWnd;
}

bool ApiClient::SendNext() {
  MessageRecord* record = nullptr;
  bool sendEnd = false;
  std::string sendType;
  {
    QueueLock lock(m_csQueue);
    if (!m_queue.empty()) {
      record = m_queue.front();
      m_queue.pop_front();
      sendType = m_sSendType;  // the kind enqueued last, read as the message goes out
    } else if (m_nTotal <= m_nDone && !g_bEndSent) {
      g_bEndSent = true;
      m_nDone = 0;
      m_nQueued = 0;
      sendEnd = true;
    }
  }
  if (record == nullptr) {
    if (sendEnd) SendNotification(NotifyWindow(), "end");
    return false;
  }

  record->reserve += ":00";
  const ApiCallOutcome outcome = RunApiCall(*this, ApiCall::Send,
                                            {record->phone, record->callback, record->message, record->subject,
                                             record->ref_key, record->reserve, sendType, record->usears});
  delete record;
  if (outcome.failed) {
    SendNotification(NotifyWindow(), "error");  // not numbered, not counted
    return true;
  }
  const std::string& code = outcome.code;
  int sequence = 0;
  bool batchAnswered = false;
  {
    QueueLock lock(m_csQueue);
    sequence = m_nDone++;
    batchAnswered = m_nDone >= m_nTotal;
  }
  // A sleeping worker may be the one to send "end" when this worker is being stopped.
  if (batchAnswered) WakeAllConditionVariable(&m_cvQueue);

  std::string text = std::to_string(sequence);
  if (code == "800") {
    text += "/800";
  } else if (code != "0000") {
    text = "fail";
  }
  SendNotification(NotifyWindow(), text);
  return true;
}

void ApiClient::WaitForWork(const CThread& worker) {
  QueueLock lock(m_csQueue);
  while (m_queue.empty() && !worker.IsStopRequested() && !(m_nTotal <= m_nDone && !g_bEndSent)) {
    SleepConditionVariableCS(&m_cvQueue, &m_csQueue, INFINITE);
  }
}

void ApiClient::WakeWorkers() {
  // Taking the lock orders the wake after a worker's check of its stop flag.
  { QueueLock lock(m_csQueue); }
  WakeAllConditionVariable(&m_cvQueue);
}

void ApiClient::CreateThreadDll() {
  for (std::size_t i = 0; i < kStartedWorkers; ++i) m_workers.push_back(new CTransThread(this));
}

void ApiClient::StartSMS() {
  for (std::size_t i = 0; i < std::min(kStartedWorkers, m_workers.size()); ++i) m_workers[i]->Start();
}

void ApiClient::StopSMS() {
  // Workers beyond the third never start; stopping them costs nothing.
  for (std::size_t i = 0; i < m_workers.size(); ++i) m_workers[i]->Stop();
}

void ApiClient::DestroyThread() {
  {
    QueueLock lock(m_csQueue);
    for (MessageRecord* record : m_queue) delete record;
    m_queue.clear();
  }
  // Every worker goes, also those of a second CreateThreadDll. The pool is taken out first,
  // so a window procedure run while we wait sees an empty one.
  std::vector<CTransThread*> workers(m_workers.begin(), m_workers.end());
  m_workers.clear();
  for (CTransThread* worker : workers) {
    worker->Stop();
    delete worker;
  }
  QueueLock lock(m_csQueue);
  m_nQueued = 0;
  m_nDone = 0;
}

bool ApiClient::ThreadIsFinished() {
  std::size_t idle = 0;
  for (const CTransThread* worker : m_workers) idle += worker->IsIdle() ? 1 : 0;
  return idle == m_workers.size();
}
