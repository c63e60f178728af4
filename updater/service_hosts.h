// The hosts the desktop program talks to, and the addresses built on them. The environment
// may name other hosts; the defaults are the local sandbox.
#pragma once

#include <string>

constexpr const char* kDefaultUpdateHost = "127.0.0.1:8380";
constexpr const char* kDefaultConsoleHost = "127.0.0.1:8380";
constexpr const char* kManifestPath = "/sms/SmsVersion.txt";

// NORVOSMS_UPDATE_HOST, "host" or "host:port". Empty when it cannot be honoured (a user part, a
// port outside 1-65535 or empty, an IPv6 literal; the reason goes to standard error).
std::string UpdateHost();
// NORVOSMS_CONSOLE_HOST, "host" or "host:port"; empty when it cannot be honoured, as above.
std::string ConsoleHost();

// "http://" + update host + "/sms/SmsVersion.txt": read by the update check, handed to the launcher.
// Empty when the host is refused, so nothing is fetched or opened.
std::string ManifestAddress();
// "https://" + console host + path, for "/admin/setting/" and "/admin/service-info/"; empty when
// the host is refused.
std::string ConsolePageAddress(const std::string& path);
