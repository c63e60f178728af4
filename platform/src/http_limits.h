// The limits every HTTP request of the process works under, in one place.
#pragma once

#include <xmlrpc/http_settings.h>

namespace http_limits {

// NORVOSMS_TIMEOUT (a whole request, redirects included, ends by then) and NORVOSMS_MAX_ANSWER (answers above it
// are refused while they arrive), read by the one reader the library above also uses. False when either cannot be
// honoured: the request is then not sent at all.
inline bool Current(HttpSettings& settings) {
  std::string problem;
  return ReadHttpSettings(settings, problem);
}

// As WinInet: at most five redirects are followed.
constexpr int kMaxRedirectHops = 5;
// A kept connection unused for longer is closed instead of reused.
constexpr long kIdleConnectionSeconds = 30;

}  // namespace http_limits
