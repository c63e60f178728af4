// Synchronisation: critical sections, waiting on handles, closing handles, sleeping.
#pragma once

#include "windef.h"

// Field names as on Windows; LockSemaphore holds the lock object itself here.
typedef struct _RTL_CRITICAL_SECTION {
  void* DebugInfo;
  LONG LockCount;
  LONG RecursionCount;
  HANDLE OwningThread;
  HANDLE LockSemaphore;
  ULONG_PTR SpinCount;
} CRITICAL_SECTION, *LPCRITICAL_SECTION;

// One pointer, as on Windows; needs no deletion.
typedef struct _RTL_CONDITION_VARIABLE {
  void* Ptr;
} CONDITION_VARIABLE, *PCONDITION_VARIABLE;

#define CONDITION_VARIABLE_INIT \
  { nullptr }

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu

#ifndef ERROR_TIMEOUT
#define ERROR_TIMEOUT 1460L
#endif

extern "C" {
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

void WINAPI InitializeConditionVariable(PCONDITION_VARIABLE ConditionVariable);
// Leaves the section, waits for a wake or the time-out, enters it again; FALSE on time-out.
BOOL WINAPI SleepConditionVariableCS(PCONDITION_VARIABLE ConditionVariable, LPCRITICAL_SECTION CriticalSection,
                                     DWORD dwMilliseconds);
void WINAPI WakeConditionVariable(PCONDITION_VARIABLE ConditionVariable);
void WINAPI WakeAllConditionVariable(PCONDITION_VARIABLE ConditionVariable);

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
BOOL WINAPI CloseHandle(HANDLE hObject);
void WINAPI Sleep(DWORD dwMilliseconds);
}
