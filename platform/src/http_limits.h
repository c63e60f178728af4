// The limits every HTTP request of the process works under, in one place.
#pragma once

#include <windef.h>

#include <cstddef>

namespace http_limits {

// A whole request, redirects included, ends by then: NORVOSMS_TIMEOUT seconds, default 60.
DWORD CallDeadlineMs();
// Answers above NORVOSMS_MAX_ANSWER bytes (default 16 MiB) are refused while they arrive.
std::size_t MaxAnswerBytes();

// As WinInet: at most five redirects are followed.
constexpr int kMaxRedirectHops = 5;
// A kept connection unused for longer is closed instead of reused.
constexpr long kIdleConnectionSeconds = 30;

}  // namespace http_limits
