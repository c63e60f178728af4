// Helpers shared by the reader's source files; not part of the library's interface.
#pragma once

#include <string>

bool isXmlRpcWhitespace(char c);
void skipXmlRpcWhitespace(const char*& cursor);
// The next '<' at or after the cursor, or the terminating NUL.
const char* findLessThanOrEnd(const char* cursor);
