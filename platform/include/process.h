// The C runtime's thread start.
#pragma once

#include "windef.h"

#ifndef __stdcall
#define __stdcall
#endif

extern "C" {
// Returns the new thread's handle (wait on it, close it with CloseHandle), or 0 on failure.
std::uintptr_t _beginthreadex(void* security, unsigned stack_size, unsigned(__stdcall* start_address)(void*),
                              void* arglist, unsigned initflag, unsigned* thrdaddr);
}
