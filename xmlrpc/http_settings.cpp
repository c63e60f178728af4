#include "http_settings.h"

#include <cstdlib>

namespace http_settings {
namespace {

// Enough of a hostile value to recognise it; control bytes shown as \xHH so a terminal never gets them raw.
std::string Shown(const char* text) {
  static const char kHex[] = "0123456789ABCDEF";
  constexpr std::size_t kShownBytes = 64;
  std::string shown = "\"";
  std::size_t i = 0;
  for (; text[i] && i < kShownBytes; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F || c == '"' || c == '\\') {
      shown += "\\x";
      shown += kHex[c >> 4];
      shown += kHex[c & 0xF];
    } else {
      shown += static_cast<char>(c);
    }
  }
  shown += text[i] ? "\"..." : "\"";
  return shown;
}

}  // namespace

bool ParseBoundedSetting(const char* name, const char* text, unsigned long long low, unsigned long long high,
                         const char* unit, unsigned long long& value, std::string& problem) {
  if (!text) return true;
  unsigned long long parsed = 0;
  bool fits = *text != '\0';
  for (const char* p = text; fits && *p; ++p) {
    if (*p < '0' || *p > '9') {
      fits = false;
    } else {
      unsigned digit = static_cast<unsigned>(*p - '0');
      // Past the upper bound already: stop before the number can overflow.
      if (parsed > (high - digit) / 10) fits = false;
      parsed = parsed * 10 + digit;
    }
  }
  if (fits && parsed >= low) {
    value = parsed;
    return true;
  }
  problem = std::string(name) + "=" + Shown(text) + " cannot be honoured: plain decimal digits from " +
            std::to_string(low) + " to " + std::to_string(high) + " " + unit + " expected";
  return false;
}

}  // namespace http_settings

bool ReadHttpSettings(HttpSettings& settings, std::string& problem) {
  using namespace http_settings;
  HttpSettings read;
  unsigned long long timeout = read.timeoutSeconds;
  if (!ParseBoundedSetting("NORVOSMS_TIMEOUT", std::getenv("NORVOSMS_TIMEOUT"), kMinTimeoutSeconds, kMaxTimeoutSeconds,
                           "seconds", timeout, problem) ||
      !ParseBoundedSetting("NORVOSMS_MAX_ANSWER", std::getenv("NORVOSMS_MAX_ANSWER"), kMinAnswerBytes, kMaxAnswerBytes,
                           "bytes", read.maxAnswerBytes, problem)) {
    return false;
  }
  read.timeoutSeconds = static_cast<unsigned long>(timeout);
  settings = read;
  return true;
}
