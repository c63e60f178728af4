#include "api/thread_base.h"

#include <process.h>

#include <cstdint>

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
  // A held handle is a thread not yet waited for: running, or a Stop (perhaps the one whose
  // message pumping runs this call) is waiting for it and releases it.
  if (m_hThread.load() != nullptr) return true;
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
  // Already asked: the Stop that asked (perhaps pumping beneath us) waits for the thread.
  if (m_bStop.exchange(true)) return;
  OnStopRequested();
  // The handle stays held while we wait, so that a Start from a window procedure run by the
  // pumping neither cancels this stop nor starts a second thread.
  HANDLE handle = m_hThread.load();
  if (handle == nullptr) return;  // never started, or its start failed
  WaitPumping(handle);
  m_hThread = nullptr;
  CloseHandle(handle);
}

unsigned __stdcall CThread::ThreadProc(void* self) {
  auto* thread = static_cast<CThread*>(self);
  while (!thread->m_bStop.load()) thread->Run();
  thread->m_bStop = true;
  thread->m_bIdle = true;
  return 0;
}
