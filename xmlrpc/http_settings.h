// The two numbers every HTTP request of the process works under, read from the environment.
// Free of any other part of the system, so the Linux platform layer and the Windows build
// compile this one reader too.
#pragma once

#include <string>

struct HttpSettings {
  unsigned long timeoutSeconds = 60;
  unsigned long long maxAnswerBytes = 16ull * 1024 * 1024;
};

// The process's NORVOSMS_TIMEOUT and NORVOSMS_MAX_ANSWER; false, with `problem` naming the variable and its value,
// when either cannot be honoured.
bool ReadHttpSettings(HttpSettings& settings, std::string& problem);

namespace http_settings {

constexpr unsigned long long kMinTimeoutSeconds = 1;
constexpr unsigned long long kMaxTimeoutSeconds = 3600;
constexpr unsigned long long kMinAnswerBytes = 1024;
constexpr unsigned long long kMaxAnswerBytes = 1024ull * 1024 * 1024;

// One setting's text (null when unset): plain decimal digits within [low, high]. An unset variable keeps
// `value`; anything else that is not such a number leaves `problem` naming the variable and the text.
bool ParseBoundedSetting(const char* name, const char* text, unsigned long long low, unsigned long long high,
                         const char* unit, unsigned long long& value, std::string& problem);

}  // namespace http_settings
