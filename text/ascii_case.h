// ASCII letters compared without regard to case, for schemes, tags and names the protocols define
// case-blind. Every other byte (ANSI and UTF-8 ones included) must match exactly, so no locale
// can make two different texts equal.
#pragma once

#include <string_view>

bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
