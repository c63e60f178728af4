// Ending the sending machinery, shared by DestroyThread and FreeDll.
#include "api/api_client.h"

#include "api/message_record.h"

void ApiClient::EndSending() {
  EnterCriticalSection(&m_csQueue);
  for (MessageRecord* record : m_queue) delete record;
  m_queue.clear();
  // Workers are created only by CreateThreadDll, which lands with the sending exports; until
  // then the pool is always empty here.
  m_workers.clear();
  m_nTotal = 0;
  m_nDone = 0;
  m_nQueued = 0;
  LeaveCriticalSection(&m_csQueue);
}
