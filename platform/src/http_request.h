// What a WinInet request asks of the network, as its handles build it up (root, connection,
// request), and the helpers that read and write its parts: header lines and addresses.
#pragma once

#include <wininet.h>

#include <cstddef>
#include <string>
#include <vector>

// Splits header text at CR LF (or a lone LF) into lines, dropping empty ones.
void AppendHeaderLines(std::vector<std::string>& out, const char* text, std::size_t length);
// The length of a caller's header text; (DWORD)-1 means up to its terminating zero.
std::size_t HeaderLength(LPCSTR headers, DWORD length);
// Whether a line names the header `name`, in any case.
bool HasHeader(const std::vector<std::string>& headers, const char* name);
void DropHeader(std::vector<std::string>& lines, const char* name);

constexpr DWORD kDefaultConnectTimeoutMs = 60000;
constexpr DWORD kDefaultSendTimeoutMs = 30000;
constexpr DWORD kDefaultReceiveTimeoutMs = 30000;

// Per-handle settings, inherited by the handles opened from a handle.
struct InternetOptions {
  DWORD connectTimeoutMs = kDefaultConnectTimeoutMs;
  DWORD sendTimeoutMs = kDefaultSendTimeoutMs;
  DWORD receiveTimeoutMs = kDefaultReceiveTimeoutMs;
  DWORD maxConnsPerServer = 2;
  DWORD maxConnsPer10Server = 4;
};

struct HttpRequest {
  InternetOptions options;
  // From the root handle.
  std::string agent;
  DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG;
  std::string proxy;
  std::string proxyBypass;
  // From the connection handle.
  std::string host;
  INTERNET_PORT port = 0;
  // The request's own.
  std::string verb;
  std::string object;
  std::string version;
  std::string accept;
  DWORD flags = 0;
  DWORD securityFlags = 0;
  std::vector<std::string> headers;
};

// The address the request goes to first.
std::string BuildUrl(const HttpRequest& request);

// The server part of an address ("https://host:port") and its host; false for anything but
// http(s).
bool ServerOf(const std::string& url, std::string& server, std::string& host, bool& secure);
