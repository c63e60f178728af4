#include "text/decimal_number.h"

#include <limits>

namespace {

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool ScanDecimal(const char*& cursor, const char* end, std::int32_t& value) {
  const char* p = cursor;
  auto more = [&p, end] { return (end == nullptr || p < end) && *p != '\0'; };
  while (more() && IsCSpace(*p)) ++p;
  bool negative = false;
  if (more() && (*p == '+' || *p == '-')) negative = *p++ == '-';
  if (!more() || !IsDigit(*p)) return false;
  // Accumulated towards the sign's limit, so clamping needs no wider type than 64 bits.
  const std::int64_t limit = negative ? -std::int64_t(std::numeric_limits<std::int32_t>::min())
                                      : std::int64_t(std::numeric_limits<std::int32_t>::max());
  std::int64_t magnitude = 0;
  for (; more() && IsDigit(*p); ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > limit) magnitude = limit;
  }
  value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
  cursor = p;
  return true;
}

std::int32_t DecimalValue(std::string_view text) {
  const char* cursor = text.data();
  std::int32_t value = 0;
  if (text.empty() || !ScanDecimal(cursor, text.data() + text.size(), value)) return 0;
  return value;
}
