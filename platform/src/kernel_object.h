// Waitable objects behind HANDLE values (internal to the platform layer).
#pragma once

#include <windef.h>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace norvosms::platform {

// Signalled once, never reset: what a thread handle needs.
class KernelObject {
 public:
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

}  // namespace norvosms::platform
