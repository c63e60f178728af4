// Number reading for the value reader: locale-independent, bounded by the text.
#pragma once

#include <cstdint>

// A floating-point number after optional whitespace (decimal, "inf" or "nan");
// overflow gives an infinity, underflow a zero. false when nothing is read.
bool scanDouble(const char*& cursor, double& value);

// One scanf-style "%<width>d" field: whitespace, then at most `width` characters of
// sign and digits. false when no digit is found.
bool scanFixedWidthInt(const char*& cursor, const char* end, int width, std::int32_t& value);
