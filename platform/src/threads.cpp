// Threads started with _beginthreadex, on pthreads; a thread's handle is signalled when it ends.
#include <process.h>
#include <synchapi.h>

#include "kernel_object.h"

#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <memory>

namespace {

std::atomic<unsigned> g_nextThreadId{1};

struct ThreadStart {
  unsigned(__stdcall* procedure)(void*);
  void* argument;
  std::shared_ptr<norvosms::platform::KernelObject> handleObject;
};

void* ThreadMain(void* raw) {
  std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(raw));
  start->procedure(start->argument);
  start->handleObject->Signal();
  return nullptr;
}

}  // namespace

// A detached pthread; the handle is signalled when the procedure returns. Only initflag 0
// (running at once) is offered: anything else fails with EINVAL.
extern "C" std::uintptr_t _beginthreadex(void* /*security*/, unsigned stack_size,
                                         unsigned(__stdcall* start_address)(void*), void* arglist, unsigned initflag,
                                         unsigned* thrdaddr) {
  if (start_address == nullptr || initflag != 0) {
    errno = EINVAL;
    return 0;
  }
  auto object = std::make_shared<norvosms::platform::KernelObject>();
  auto* start = new ThreadStart{start_address, arglist, object};

  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  if (stack_size != 0) {
    pthread_attr_setstacksize(&attributes, stack_size < PTHREAD_STACK_MIN ? PTHREAD_STACK_MIN : stack_size);
  }
  // Registered before the thread runs, so a quick thread cannot signal an unknown handle.
  HANDLE handle = norvosms::platform::RegisterHandle(object);
  pthread_t thread;
  int failure = pthread_create(&thread, &attributes, ThreadMain, start);
  pthread_attr_destroy(&attributes);
  if (failure != 0) {
    delete start;
    CloseHandle(handle);
    errno = failure;
    return 0;
  }
  if (thrdaddr != nullptr) *thrdaddr = g_nextThreadId.fetch_add(1);
  return reinterpret_cast<std::uintptr_t>(handle);
}
