#include <process.h>
#include <synchapi.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

struct Counter {
  CRITICAL_SECTION cs;
  long value = 0;
};

unsigned __stdcall AddMany(void* raw) {
  auto* counter = static_cast<Counter*>(raw);
  for (int i = 0; i < 10000; ++i) {
    EnterCriticalSection(&counter->cs);
    EnterCriticalSection(&counter->cs);  // owners may enter again
    ++counter->value;
    LeaveCriticalSection(&counter->cs);
    LeaveCriticalSection(&counter->cs);
  }
  return 0;
}

unsigned __stdcall SleepThenSet(void* raw) {
  Sleep(150);
  static_cast<std::atomic<bool>*>(raw)->store(true);
  return 0;
}

TEST(Threads, CriticalSectionSerialisesThreadsAndHandlesSignalAtTheEnd) {
  Counter counter;
  InitializeCriticalSection(&counter.cs);
  std::vector<HANDLE> handles;
  for (int i = 0; i < 4; ++i) {
    unsigned id = 0;
    std::uintptr_t h = _beginthreadex(nullptr, 0, AddMany, &counter, 0, &id);
    ASSERT_NE(h, 0u);
    EXPECT_NE(id, 0u);
    handles.push_back(reinterpret_cast<HANDLE>(h));
  }
  for (HANDLE h : handles) {
    EXPECT_EQ(WaitForSingleObject(h, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0);  // stays signalled
    EXPECT_TRUE(CloseHandle(h));
  }
  EXPECT_EQ(counter.value, 40000);
  DeleteCriticalSection(&counter.cs);
}

TEST(Threads, WaitTimesOutWhileTheThreadRuns) {
  std::atomic<bool> done{false};
  HANDLE h = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 64 * 1024, SleepThenSet, &done, 0, nullptr));
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(WaitForSingleObject(h, 10), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(h, 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(done.load());
  EXPECT_TRUE(CloseHandle(h));
}

TEST(Threads, ClosingBeforeTheEndLetsTheThreadFinish) {
  std::atomic<bool> done{false};
  HANDLE h = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, SleepThenSet, &done, 0, nullptr));
  ASSERT_NE(h, nullptr);
  EXPECT_TRUE(CloseHandle(h));
  for (int i = 0; i < 200 && !done.load(); ++i) Sleep(10);
  EXPECT_TRUE(done.load());
}

TEST(Threads, UnknownHandlesFailWithoutHarm) {
  HANDLE bogus = reinterpret_cast<HANDLE>(0x12345);
  EXPECT_EQ(WaitForSingleObject(bogus, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(CloseHandle(bogus));
  EXPECT_FALSE(CloseHandle(nullptr));
  EXPECT_EQ(_beginthreadex(nullptr, 0, nullptr, nullptr, 0, nullptr), 0u);
  EXPECT_EQ(_beginthreadex(nullptr, 0, SleepThenSet, nullptr, 4 /* suspended */, nullptr), 0u);
}

}  // namespace

namespace {

struct Mailbox {
  CRITICAL_SECTION cs;
  CONDITION_VARIABLE cv = CONDITION_VARIABLE_INIT;
  int items = 0;
  int taken = 0;
};

unsigned __stdcall TakeTwo(void* raw) {
  auto* box = static_cast<Mailbox*>(raw);
  EnterCriticalSection(&box->cs);
  while (box->taken < 2) {
    while (box->items == 0) SleepConditionVariableCS(&box->cv, &box->cs, INFINITE);
    --box->items;
    ++box->taken;
  }
  LeaveCriticalSection(&box->cs);
  return 0;
}

TEST(Threads, ConditionVariableWakesASleeperWithoutLosingWakes) {
  Mailbox box;
  InitializeCriticalSection(&box.cs);
  HANDLE h = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, TakeTwo, &box, 0, nullptr));
  for (int i = 0; i < 2; ++i) {
    Sleep(20);
    EnterCriticalSection(&box.cs);
    ++box.items;
    LeaveCriticalSection(&box.cs);
    WakeConditionVariable(&box.cv);
  }
  EXPECT_EQ(WaitForSingleObject(h, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(box.taken, 2);
  CloseHandle(h);

  EnterCriticalSection(&box.cs);
  EXPECT_FALSE(SleepConditionVariableCS(&box.cv, &box.cs, 20));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  LeaveCriticalSection(&box.cs);
  DeleteCriticalSection(&box.cs);
}

}  // namespace
