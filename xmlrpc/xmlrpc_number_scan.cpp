#include "xmlrpc/xmlrpc_number_scan.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace {

bool isCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Exponents beyond this are all the same to a double.
constexpr long kExponentClamp = 100000;

// Whether an out-of-range decimal text is too large (true) or too small (false).
bool overflowsUpward(const char* p, const char* end) {
  if (p < end && (*p == '-' || *p == '+')) ++p;
  long magnitude = 0;  // decimal exponent of the leading significant digit
  bool seenSignificant = false;
  long leadingZerosAfterPoint = 0;
  long integerDigits = 0;
  for (; p < end && isDigit(*p); ++p) {
    if (*p != '0') seenSignificant = true;
    if (seenSignificant) ++integerDigits;
  }
  if (p < end && *p == '.') {
    for (++p; p < end && isDigit(*p); ++p) {
      if (!seenSignificant && *p == '0')
        ++leadingZerosAfterPoint;
      else
        seenSignificant = true;
    }
  }
  long exponent = 0;
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    for (; p < end && isDigit(*p); ++p) exponent = std::min(exponent * 10 + (*p - '0'), kExponentClamp);
    if (negative) exponent = -exponent;
  }
  magnitude = (integerDigits > 0 ? integerDigits - 1 : -(leadingZerosAfterPoint + 1)) + exponent;
  return magnitude > 0;
}

}  // namespace

bool scanDouble(const char*& cursor, double& value) {
  const char* p = cursor;
  while (isCSpace(*p)) ++p;
  if (*p == '+' && p[1] != '-' && p[1] != '+') ++p;
  // The number ends before the next tag; looking only that far keeps the scan linear.
  const char* lt = std::strchr(p, '<');
  const char* end = lt ? lt : p + std::strlen(p);
  double parsed = 0;
  const auto [ptr, ec] = std::from_chars(p, end, parsed, std::chars_format::general);
  if (ptr == p) return false;
  if (ec == std::errc::result_out_of_range) {
    const double sign = (*p == '-') ? -1.0 : 1.0;
    parsed = overflowsUpward(p, ptr) ? sign * std::numeric_limits<double>::infinity() : sign * 0.0;
  } else if (ec != std::errc()) {
    return false;
  }
  value = parsed;
  cursor = ptr;
  return true;
}

bool scanFixedWidthInt(const char*& cursor, const char* end, int width, std::int32_t& value) {
  const char* p = cursor;
  while (p < end && isCSpace(*p)) ++p;
  const char* limit = (end - p > width) ? p + width : end;
  bool negative = false;
  if (p < limit && (*p == '+' || *p == '-')) negative = *p++ == '-';
  if (p >= limit || !isDigit(*p)) return false;
  std::int32_t n = 0;
  for (; p < limit && isDigit(*p); ++p) n = n * 10 + (*p - '0');
  value = negative ? -n : n;
  cursor = p;
  return true;
}
