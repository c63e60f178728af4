// The rules every address setting (the API URL, the update, notice and console hosts) is held to,
// on the standard library alone so the updater and the program check them as the library does.
#pragma once

#include <string>
#include <string_view>

// Why "host" or "host:port" cannot be honoured ("" when it can): a user part ("user@host") would
// send the login elsewhere, a port must be 1 to 65535 written in digits, and IPv6 literals are not
// supported (WinInet takes a host name or an IPv4 address here). An empty host is left to the
// transport, which refuses it as an invalid URL.
std::string HostSettingProblem(std::string_view authority);

// The same for a whole "scheme://authority/path" URL: the authority ends at the first '/', '?',
// '#' or '\'. An unknown scheme is left to the caller.
std::string UrlSettingProblem(std::string_view url);
