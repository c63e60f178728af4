// Small routines on path texts in fixed buffers of MAX_PATH (260) bytes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

constexpr std::size_t kPathBufferSize = MAX_PATH;

// Replaces every `from` by `to` in place; returns the text's length (0 for null).
int ReplaceChar(char* text, char from, char to);

// Formatted printing into a buffer of kPathBufferSize bytes. Returns the length, or -1 with
// an empty buffer when the result would not fit: a path is never cut short.
int FormatPath(char* buffer, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// Copies the text into a buffer of kPathBufferSize bytes. Returns the length, or -1 with an
// empty buffer when it would not fit.
int CopyPath(char* buffer, const char* text);

// The folder of the running program file, ending in its separator; empty if unknown.
std::string GetProgramFolder();
