// Modules: the running program's file name.
#pragma once

#include "windef.h"

#ifndef ERROR_MOD_NOT_FOUND
#define ERROR_MOD_NOT_FOUND 126L  // winerror.h on Windows
#endif

extern "C" {
// hModule null: the program file. Returns the characters copied without the terminating zero;
// a buffer too small gets the truncated, terminated name, nSize and ERROR_INSUFFICIENT_BUFFER.
DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
// Names of loaded DLLs only; Linux loads none, so every name is not found.
HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
}
