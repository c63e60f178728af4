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

// True when the text is UTF-8 by the strict rules: no overlong forms, no surrogates, nothing
// past U+10FFFF, no cut sequence.
bool IsValidUtf8(std::string_view text);

// Valid UTF-8 text in the process's ANSI code page, every character kept: false (and `ansi`
// untouched) when the text is not valid UTF-8 or the code page lacks one of its characters.
bool AnsiFromUtf8Exactly(std::string_view utf8, std::string& ansi);

// ANSI text of the process's code page as UTF-8; false when it does not convert. The work
// buffers stay with the calling thread, at least `minimumBuffer` bytes each, and are sized from
// bounds (a byte gives at most one UTF-16 unit, a unit at most three UTF-8 bytes) rather than by
// asking each conversion for its length first: this runs on every request sent.
bool Utf8FromAnsi(std::string_view ansi, std::string& utf8, std::size_t minimumBuffer = 0);

// One of the program's own texts, written in UTF-8 in the source, in the process's ANSI code
// page (CP949 on the target machines). Text that is not valid UTF-8 comes back unchanged.
std::string AnsiText(const char* utf8);

// ANSI text of the process's code page as UTF-16, for a control that shows Unicode.
WideText WideFromAnsi(std::string_view ansi);

// The number of UTF-16 code units the UTF-8 text yields.
std::size_t Utf16Length(std::string_view utf8);
