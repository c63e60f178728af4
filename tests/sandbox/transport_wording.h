// How the HTTP stack words a connection the server reset before any answer. The Linux layer says
// "Connection reset"; Windows' WinInet words it by when the reset met it: while the request went
// out ("Connection aborted"), or after, when it has no status to give.
#pragma once

#include <string>

namespace sandbox {

inline bool IsResetBeforeAnswer(const std::string& printed) {
#ifdef _WIN32
  return printed == "HttpSendRequest : Connection aborted" || printed == "Could not query HTTP result status";
#else
  return printed == "HttpSendRequest : Connection reset";
#endif
}

}  // namespace sandbox
