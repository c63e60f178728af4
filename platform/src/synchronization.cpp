// Critical sections, condition variables, waits on kernel objects, CloseHandle and Sleep.
#include <synchapi.h>
#include <winerror.h>

#include "handle_table.h"
#include "kernel_object.h"

#include <chrono>
#include <thread>

namespace norvosms::platform {

void KernelObject::Signal() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_bSignalled = true;
  m_signalled.notify_all();
}

bool KernelObject::WaitSignalled(DWORD milliseconds) {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (milliseconds == INFINITE) {
    m_signalled.wait(lock, [this] { return m_bSignalled; });
    return true;
  }
  return m_signalled.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_bSignalled; });
}

namespace {

struct KernelHandles {
  std::mutex mutex;
  HandleTable<HANDLE, std::shared_ptr<KernelObject>> objects;
  std::uintptr_t next = 0x100;
};

KernelHandles& Handles() {
  static KernelHandles* table = new KernelHandles;  // never destroyed: detached threads outlive exit
  return *table;
}

}  // namespace

std::shared_ptr<KernelObject> FindHandle(HANDLE handle) {
  KernelHandles& table = Handles();
  std::lock_guard<std::mutex> lock(table.mutex);
  return table.objects.Share(handle);
}

HANDLE RegisterHandle(std::shared_ptr<KernelObject> object) {
  KernelHandles& table = Handles();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.next += 4;  // multiples of four, as on Windows
  HANDLE handle = reinterpret_cast<HANDLE>(table.next);
  table.objects.Add(handle, std::move(object));
  return handle;
}

}  // namespace norvosms::platform

using norvosms::platform::FindHandle;

// std::recursive_mutex: Windows critical sections may be entered again by their owner.
extern "C" void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION cs) {
  *cs = CRITICAL_SECTION{};
  cs->LockSemaphore = new std::recursive_mutex;
}

// Entering an uninitialised or deleted section does nothing instead of crashing.
extern "C" void WINAPI EnterCriticalSection(LPCRITICAL_SECTION cs) {
  if (cs == nullptr || cs->LockSemaphore == nullptr) return;
  static_cast<std::recursive_mutex*>(cs->LockSemaphore)->lock();
}

extern "C" void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION cs) {
  if (cs == nullptr || cs->LockSemaphore == nullptr) return;
  static_cast<std::recursive_mutex*>(cs->LockSemaphore)->unlock();
}

extern "C" void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION cs) {
  if (cs == nullptr) return;
  delete static_cast<std::recursive_mutex*>(cs->LockSemaphore);
  cs->LockSemaphore = nullptr;
}

// Condition variable on the handle's object; WAIT_FAILED with ERROR_INVALID_HANDLE for unknown handles.
extern "C" DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  std::shared_ptr<norvosms::platform::KernelObject> object = FindHandle(hHandle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return object->WaitSignalled(dwMilliseconds) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

// Drops the handle; the object lives on while its thread still runs (or a read on it).
extern "C" BOOL WINAPI CloseHandle(HANDLE hObject) {
  std::shared_ptr<norvosms::platform::KernelObject> object;
  {
    auto& table = norvosms::platform::Handles();
    std::lock_guard<std::mutex> lock(table.mutex);
    object = table.objects.Remove(hObject);
  }
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

// std::this_thread::sleep_for; Sleep(0) yields the rest of the time slice.
extern "C" void WINAPI Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  if (dwMilliseconds == INFINITE) {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

namespace {

// Condition variables own no memory (Windows has no DeleteConditionVariable): the variable
// holds a wake count, and sleepers wait on one of a fixed set of buckets chosen by address.
struct WakeBucket {
  std::mutex mutex;
  std::condition_variable_any woken;
};

constexpr std::size_t kWakeBuckets = 64;

WakeBucket& BucketFor(PCONDITION_VARIABLE cv) {
  static WakeBucket* buckets = new WakeBucket[kWakeBuckets];
  return buckets[(reinterpret_cast<std::uintptr_t>(cv) >> 4) % kWakeBuckets];
}

std::uintptr_t WakeCount(PCONDITION_VARIABLE cv) { return reinterpret_cast<std::uintptr_t>(cv->Ptr); }

}  // namespace

extern "C" void WINAPI InitializeConditionVariable(PCONDITION_VARIABLE ConditionVariable) {
  if (ConditionVariable != nullptr) ConditionVariable->Ptr = nullptr;
}

// The wake count is read before the section is left, so a wake after that is never lost.
// Wakes may be spurious, as on Windows.
extern "C" BOOL WINAPI SleepConditionVariableCS(PCONDITION_VARIABLE ConditionVariable,
                                                LPCRITICAL_SECTION CriticalSection, DWORD dwMilliseconds) {
  if (ConditionVariable == nullptr || CriticalSection == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  WakeBucket& bucket = BucketFor(ConditionVariable);
  std::unique_lock<std::mutex> lock(bucket.mutex);
  const std::uintptr_t seen = WakeCount(ConditionVariable);
  LeaveCriticalSection(CriticalSection);
  auto woken = [&] { return WakeCount(ConditionVariable) != seen; };
  bool signalled = true;
  if (dwMilliseconds == INFINITE) {
    bucket.woken.wait(lock, woken);
  } else {
    signalled = bucket.woken.wait_for(lock, std::chrono::milliseconds(dwMilliseconds), woken);
  }
  lock.unlock();
  EnterCriticalSection(CriticalSection);
  if (!signalled) {
    SetLastError(ERROR_TIMEOUT);
    return FALSE;
  }
  return TRUE;
}

// Both wake every sleeper of the variable; Windows allows the extra wakes.
extern "C" void WINAPI WakeAllConditionVariable(PCONDITION_VARIABLE ConditionVariable) {
  if (ConditionVariable == nullptr) return;
  WakeBucket& bucket = BucketFor(ConditionVariable);
  std::lock_guard<std::mutex> lock(bucket.mutex);
  ConditionVariable->Ptr = reinterpret_cast<void*>(WakeCount(ConditionVariable) + 1);
  bucket.woken.notify_all();
}

extern "C" void WINAPI WakeConditionVariable(PCONDITION_VARIABLE ConditionVariable) {
  WakeAllConditionVariable(ConditionVariable);
}
