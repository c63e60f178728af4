// The process's environment strings and current directory.
#pragma once

#include "windef.h"

extern "C" {
// Replaces each %NAME% by the variable's value; unknown names stay as written. Returns the
// characters stored, terminating zero included, or the size needed when nSize is too small.
DWORD WINAPI ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst, DWORD nSize);
BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName);
}
