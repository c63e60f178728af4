#include "api/trans_thread.h"

#include "api/api_client.h"

// The thread reads m_pClient: it must end before this part of the object goes.
CTransThread::~CTransThread() { Stop(); }

void CTransThread::Run() {
  if (!m_pClient->SendNext()) m_pClient->WaitForWork(*this);
}

void CTransThread::OnStopRequested() { m_pClient->WakeWorkers(); }
