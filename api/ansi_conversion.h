// UTF-8 to the calling thread's ANSI code page, through UTF-16.
#pragma once

#include <string>
#include <string_view>

// Characters the code page lacks become its default character.
std::string Utf8ToAnsi(std::string_view utf8);
