// Byte scans shared by the XML parser and writer (internal).
#pragma once

#include <string>

inline bool IsXmlWhitespace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Lead bytes of the ANSI code page, looked up once per process.
bool IsAnsiLeadByte(unsigned char c);

// The first byte in [p, end) that is one of the markup characters in stops, stepping over
// double-byte characters of the ANSI code page as one unit; end when there is none.
const char* FindMarkup(const char* p, const char* end, const char* stops);

// The first c in [p, end) whose previous byte (begin bounds the look-back) is not a backslash.
const char* FindUnescaped(const char* begin, const char* p, const char* end, const char* stops);

// Stores [start, end) in target: trimmed when asked, escapes removed when escape is not 0.
// Leaves target untouched when nothing is left.
void SetTextRange(const char* start, const char* end, std::string& target, bool trim, char escape);
