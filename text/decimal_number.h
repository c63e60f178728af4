// Decimal integers as the C runtime's atoi reads them, clamped instead of overflowing.
#pragma once

#include <cstdint>
#include <string_view>

// Whitespace (the six C whitespace characters), an optional sign, then digits, read from the
// cursor up to `end` or a NUL, whichever comes first (a null `end`: up to the NUL). The value
// is clamped to the 32-bit range. false when no digit follows; the cursor then stays put,
// else it moves past the last digit.
bool ScanDecimal(const char*& cursor, const char* end, std::int32_t& value);

// The leading decimal number of the text, as above; 0 when it has none.
std::int32_t DecimalValue(std::string_view text);
