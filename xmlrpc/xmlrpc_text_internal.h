// Helpers shared by the reader's source files; not part of the library's interface.
#pragma once

#include <string>

bool isXmlRpcWhitespace(char c);
void skipXmlRpcWhitespace(const char*& cursor);
char lowerAscii(char c);
// ASCII letters compared without regard to case.
bool equalsIgnoreCase(const std::string& a, const char* b);
// The next '<' at or after the cursor, or the terminating NUL.
const char* findLessThanOrEnd(const char* cursor);
