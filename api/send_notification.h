// The notifications of a send batch: WM_COPYDATA with a short text to the caller's window.
#pragma once

#include <windows.h>

#include <string>

// Every notification carries this many bytes: the text, NUL-terminated and zero-padded.
constexpr DWORD kNotificationBytes = 90;

// Synchronous: returns once the window's thread has handled it. A null or dead window, or a
// text too long for the block (cut to 89 bytes), never fails the sender.
void SendNotification(HWND hWnd, const std::string& text);
