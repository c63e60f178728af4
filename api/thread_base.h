// A restartable thread that calls Run until it is asked to stop.
#pragma once

#include <process.h>
#include <windows.h>

#include <atomic>

// Waits until the handle is signalled, dispatching the calling thread's window messages,
// so that a thread blocked in SendMessageA to one of our windows can finish.
void WaitPumping(HANDLE hThread);

class CThread {
 public:
  CThread() = default;
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;
  // Stops and waits for a running thread. Derived classes whose Run uses their own
  // members must call Stop in their destructor, before those members go.
  virtual ~CThread();

  // Starts a thread unless one runs; true when a thread runs afterwards.
  bool Start();
  // Asks the thread to end after its current Run and waits, pumping messages meanwhile.
  void Stop();

  bool IsIdle() const { return m_bIdle.load(); }
  bool IsStopRequested() const { return m_bStop.load(); }
  unsigned ThreadId() const { return m_nThreadId.load(); }

 protected:
  // One unit of the thread's work.
  virtual void Run() = 0;
  // Called by Stop after the stop flag is set, on the stopping thread: wake a Run that sleeps.
  virtual void OnStopRequested() {}

 private:
  static unsigned __stdcall ThreadProc(void* self);

  std::atomic<unsigned> m_nThreadId{0};
  // Owned by the controlling thread (Start, Stop, destructor); the worker never touches it.
  std::atomic<HANDLE> m_hThread{nullptr};
  std::atomic<bool> m_bStop{false};
  std::atomic<bool> m_bIdle{true};
};
