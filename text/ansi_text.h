// Conversion between the ANSI code page and UTF-8, always through UTF-16 as Windows does it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

// UTF-16 text in the platform's wide character type (wchar_t on Windows).
using WideText = std::basic_string<WCHAR>;

// True when every byte is below 0x80: every ANSI code page maps such text to ASCII, as UTF-8
// does, so it needs no conversion either way.
bool IsAscii(std::string_view text);

// UTF-8 text (by length, so not cut at a NUL) in the given ANSI code page: CP_THREAD_ACP for
// what the service answers, CP_ACP for the program's own texts. Invalid sequences and
// characters the code page lacks become its default character; empty when nothing converts.
std::string AnsiFromUtf8(std::string_view utf8, UINT ansiCodePage);

// One of the program's own texts, written in UTF-8 in the source, in the process's ANSI code
// page (CP949 on the target machines). Text that is not valid UTF-8 comes back unchanged.
std::string AnsiText(const char* utf8);

// ANSI text of the process's code page as UTF-16, for a control that shows Unicode.
WideText WideFromAnsi(std::string_view ansi);

// The number of UTF-16 code units the UTF-8 text yields.
std::size_t Utf16Length(std::string_view utf8);
