#include "api/thread_base.h"

#include <process.h>

void WaitPumping(HANDLE hThread) {
  // A null or unknown handle fails the wait instead of looping for ever.
  for (;;) {
    DWORD waited = WaitForSingleObject(hThread, 100);
    if (waited != WAIT_TIMEOUT) return;
    MSG msg;
    if (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(0);
  }
}

CThread::~CThread() { Stop(); }

bool CThread::Start() {
  if (!m_bIdle.load() && m_hThread.load() != nullptr) return true;
  // A thread that ended on its own still has its handle here: it is past its last Run.
  if (HANDLE old = m_hThread.exchange(nullptr)) {
    WaitForSingleObject(old, INFINITE);
    CloseHandle(old);
  }
  m_bIdle = false;
  m_bStop = false;
  unsigned id = 0;
  std::uintptr_t handle = _beginthreadex(nullptr, 0, ThreadProc, this, 0, &id);
  if (handle == 0) {
    m_nThreadId = 0;
    m_bIdle = true;
    return false;
  }
  m_nThreadId = id;
  m_hThread = reinterpret_cast<HANDLE>(handle);
  return true;
}

void CThread::Stop() {
  HANDLE handle = m_hThread.exchange(nullptr);
  if (m_bStop.exchange(true) && handle == nullptr) return;
  OnStopRequested();
  if (handle == nullptr) return;  // never started, or its start failed
  WaitPumping(handle);
  CloseHandle(handle);
}

unsigned __stdcall CThread::ThreadProc(void* self) {
  auto* thread = static_cast<CThread*>(self);
  while (!thread->m_bStop.load()) thread->Run();
  thread->m_bStop = true;
  thread->m_bIdle = true;
  return 0;
}
