// The words for an error code of a WinInet call: one table for the whole transport.
#pragma once

#include <windows.h>

#include <string>

// The transport's own wording where it has one (some exact on purpose: callers compare them);
// otherwise FormatMessageA's text (wininet.dll's message table first where that DLL is loaded,
// then the system's), line break included. Where wininet.dll is loaded but lacks a text for one
// of its certificate errors (older systems, Wine), a text that says what to do; otherwise
// "Error %d".
std::string InternetErrorText(DWORD code);
