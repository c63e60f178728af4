// Waitable objects behind HANDLE values (internal to the platform layer).
#pragma once

#include <windef.h>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace norvosms::platform {

// Signalled once, never reset: what a thread handle needs. Other kinds of handle derive from it.
class KernelObject {
 public:
  virtual ~KernelObject() = default;
  void Signal();
  // True when signalled within the time; INFINITE waits for good.
  bool WaitSignalled(DWORD milliseconds);

 private:
  std::mutex m_mutex;
  std::condition_variable m_signalled;
  bool m_bSignalled = false;
};

// A new handle that refers to the object until CloseHandle.
HANDLE RegisterHandle(std::shared_ptr<KernelObject> object);

// The object behind a handle, or null for a handle that is not (or no longer) open.
std::shared_ptr<KernelObject> FindHandle(HANDLE handle);

}  // namespace norvosms::platform
