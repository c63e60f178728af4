#include "http_limits.h"

#include <cerrno>
#include <cstdlib>

namespace http_limits {
namespace {

constexpr unsigned long long kDefaultDeadlineSeconds = 60;
constexpr unsigned long long kMaxDeadlineSeconds = 24 * 3600;
constexpr std::size_t kDefaultMaxAnswer = 16u * 1024 * 1024;

// A positive decimal number from the environment; the fallback for anything else.
unsigned long long PositiveSetting(const char* name, unsigned long long fallback) {
  const char* text = std::getenv(name);
  if (!text || !*text) return fallback;
  char* end = nullptr;
  errno = 0;
  unsigned long long value = std::strtoull(text, &end, 10);
  if (errno || *end || value == 0 || *text == '-') return fallback;
  return value;
}

}  // namespace

DWORD CallDeadlineMs() {
  unsigned long long seconds = PositiveSetting("NORVOSMS_TIMEOUT", kDefaultDeadlineSeconds);
  if (seconds > kMaxDeadlineSeconds) seconds = kMaxDeadlineSeconds;
  return static_cast<DWORD>(seconds * 1000);
}

std::size_t MaxAnswerBytes() {
  unsigned long long bytes = PositiveSetting("NORVOSMS_MAX_ANSWER", kDefaultMaxAnswer);
  if (bytes > static_cast<unsigned long long>(0x7FFFFFFF)) bytes = 0x7FFFFFFF;
  return static_cast<std::size_t>(bytes);
}

}  // namespace http_limits
