// Addresses and header lines of WinInet requests; addresses are read with libcurl's parser.
#include "http_request.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>

#include "ascii_case.h"

using platform_ascii::EqualsNoCase;
using platform_ascii::StartsWithNoCase;

namespace {

bool ParseServer(const std::string& url, std::string& server, std::string& host, bool& secure) {
  CURLU* parsed = curl_url();
  if (!parsed) return false;
  char* scheme = nullptr;
  char* name = nullptr;
  char* port = nullptr;
  bool ok = curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
            curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
            curl_url_get(parsed, CURLUPART_HOST, &name, 0) == CURLUE_OK &&
            curl_url_get(parsed, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK;
  if (ok) {
    secure = EqualsNoCase(scheme, "https");
    ok = secure || EqualsNoCase(scheme, "http");
    host = name;
    if (host.size() > 2 && host.front() == '[') host = host.substr(1, host.size() - 2);
    server = std::string(secure ? "https://" : "http://") + name + ":" + port;
  }
  curl_free(scheme);
  curl_free(name);
  curl_free(port);
  curl_url_cleanup(parsed);
  return ok;
}

}  // namespace

std::string BuildUrl(const HttpRequest& request) {
  bool secure = request.flags & INTERNET_FLAG_SECURE;
  INTERNET_PORT port = request.port;
  if (port == INTERNET_INVALID_PORT_NUMBER) port = secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
  std::string url = secure ? "https://" : "http://";
  if (request.host.find(':') != std::string::npos) {
    url += "[" + request.host + "]";
  } else {
    url += request.host;
  }
  url += ":" + std::to_string(port);
  if (request.object.empty() || request.object[0] != '/') url += "/";
  url += request.object;
  return url;
}

// ParseServer, remembering the last URL of this thread: a worker asks for the same one on
// every call, and libcurl's URL parser costs as much as a good part of the call around it.
bool ServerOf(const std::string& url, std::string& server, std::string& host, bool& secure) {
  struct Parsed {
    std::string url, server, host;
    bool secure = false, ok = false;
  };
  thread_local Parsed last;
  if (url != last.url) {  // an empty URL is refused, as the first `last` holds it
    last.url = url;
    last.ok = ParseServer(url, last.server, last.host, last.secure);
  }
  if (last.ok) {
    server = last.server;
    host = last.host;
    secure = last.secure;
  }
  return last.ok;
}

void AppendHeaderLines(std::vector<std::string>& out, const char* text, std::size_t length) {
  std::string all(text, length);
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    std::string line = all.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r')) line.pop_back();
    if (!line.empty()) out.push_back(line);
    start = end + 1;
  }
}

std::size_t HeaderLength(LPCSTR headers, DWORD length) {
  if (!headers) return 0;
  return length == static_cast<DWORD>(-1) ? std::strlen(headers) : length;
}

bool HasHeader(const std::vector<std::string>& headers, const char* name) {
  std::string prefix = std::string(name) + ":";
  for (const auto& h : headers)
    if (StartsWithNoCase(h, prefix.c_str())) return true;
  return false;
}

void DropHeader(std::vector<std::string>& lines, const char* name) {
  std::string prefix = std::string(name) + ":";
  lines.erase(std::remove_if(lines.begin(), lines.end(),
                             [&](const std::string& line) { return StartsWithNoCase(line, prefix.c_str()); }),
              lines.end());
}
