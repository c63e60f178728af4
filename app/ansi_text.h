// The program's own texts are written in UTF-8 in the source and used in the ANSI code page.
#pragma once

#include <string>

// The UTF-8 text in the process's ANSI code page (CP949 on the target machines); characters
// the code page lacks become its default character. Invalid UTF-8 is returned unchanged.
std::string AnsiFromUtf8(const char* utf8);
