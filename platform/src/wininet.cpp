// WinInet on libcurl (OpenSSL backend). A request is carried out in full by HttpSendRequestA;
// the body is then handed out from memory, and a failure that happened after the answer's
// head had arrived is reported by the reading calls, where Windows reports it. Connections are
// kept per server in the process-wide pool and reused once an answer was read to its end.
#include <wininet.h>
#include <winerror.h>

#include "ascii_case.h"
#include "connection_pool.h"
#include "handle_table.h"
#include "http_limits.h"

#include "tls_trust.h"

#include <curl/curl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr DWORD kDefaultConnectTimeoutMs = 60000;
constexpr DWORD kDefaultSendTimeoutMs = 30000;
constexpr DWORD kDefaultReceiveTimeoutMs = 30000;
// What InternetQueryDataAvailable reports at most per call, like one network read.
constexpr DWORD kReadChunkBytes = 8192;

enum class Kind { Root, Connection, Request };

struct Options {
  DWORD connectTimeoutMs = kDefaultConnectTimeoutMs;
  DWORD sendTimeoutMs = kDefaultSendTimeoutMs;
  DWORD receiveTimeoutMs = kDefaultReceiveTimeoutMs;
  DWORD maxConnsPerServer = 2;
  DWORD maxConnsPer10Server = 4;
};

struct Handle {
  Kind kind = Kind::Root;
  Options options;
  // Root.
  std::string agent;
  DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG;
  std::string proxy;
  std::string proxyBypass;
  // Connection (and copied into each request).
  std::string host;
  INTERNET_PORT port = 0;
  // Request.
  std::string verb;
  std::string object;
  std::string version;
  std::string accept;
  DWORD flags = 0;
  DWORD securityFlags = 0;
  std::vector<std::string> headers;
  bool sent = false;
  DWORD status = 0;
  std::string statusText;
  std::string body;
  std::size_t readPos = 0;
  DWORD deferredError = 0;
  PooledConnection connection;  // held from the send until the handle is closed
  bool answerComplete = false;  // the transfer ended well: the connection may serve again
  // Transfer bookkeeping while HttpSendRequestA runs.
  bool headSeen = false;
  DWORD certError = 0;
  bool timedOut = false;
  bool tooLarge = false;
  unsigned long long answerCap = 0;  // NORVOSMS_MAX_ANSWER as read when the send began
  bool excess = false;               // bytes arrived past the answer's length
  bool resendRefused = false;        // libcurl wanted to send the request again on a new connection
  long resendErrno = 0;              // what ended the connection under it
  std::string hopHost;               // the host the current hop's certificate must name
  CURL* easy = nullptr;
  std::chrono::steady_clock::time_point lastActivity;
  curl_off_t lastUp = 0;
};

std::mutex g_handlesLock;
norvosms::platform::HandleTable<HINTERNET, std::unique_ptr<Handle>> g_handles;
Options g_globalOptions;

Handle* LookupAny(HINTERNET h) {
  std::lock_guard<std::mutex> guard(g_handlesLock);
  Handle* handle = g_handles.Find(h);
  if (!handle) SetLastError(ERROR_INVALID_HANDLE);
  return handle;
}

Handle* Lookup(HINTERNET h, Kind kind) {
  Handle* handle = LookupAny(h);
  if (handle && handle->kind != kind) {
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    return nullptr;
  }
  return handle;
}

HINTERNET Register(std::unique_ptr<Handle> handle) {
  HINTERNET key = handle.get();
  std::lock_guard<std::mutex> guard(g_handlesLock);
  g_handles.Add(key, std::move(handle));
  return key;
}

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

using platform_ascii::EqualsNoCase;
using platform_ascii::StartsWithNoCase;

// Where libcurl's TLS backend looks for the system's authorities, asked once.
const tls_trust::SystemAuthorities& LibcurlAuthorities() {
  static const tls_trust::SystemAuthorities authorities = [] {
    tls_trust::SystemAuthorities found;
    if (CURL* probe = curl_easy_init()) {
      char* text = nullptr;
      if (curl_easy_getinfo(probe, CURLINFO_CAINFO, &text) == CURLE_OK && text) found.bundle = text;
      text = nullptr;
      if (curl_easy_getinfo(probe, CURLINFO_CAPATH, &text) == CURLE_OK && text) found.folder = text;
      curl_easy_cleanup(probe);
    }
    return found;
  }();
  return authorities;
}

CURLcode SslContextSetup(CURL*, void* sslCtx, void* trust) {
  static_cast<tls_trust::ConnectionTrust*>(trust)->SetUp(static_cast<SSL_CTX*>(sslCtx));
  return CURLE_OK;
}

// ---- transfer callbacks ----

// The answer cap holds while the body arrives; an announced length above it is refused at once.
size_t OnBody(char* data, size_t size, size_t count, void* userData) {
  Handle* request = static_cast<Handle*>(userData);
  const unsigned long long cap = request->answerCap;
  curl_off_t announced = -1;
  if (request->body.empty() && request->easy)
    curl_easy_getinfo(request->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
  if (size * count > cap - std::min<unsigned long long>(cap, request->body.size()) ||
      (announced > 0 && static_cast<unsigned long long>(announced) > cap)) {
    request->tooLarge = true;
    return 0;
  }
  request->body.append(data, size * count);
  request->lastActivity = std::chrono::steady_clock::now();
  return size * count;
}

// libcurl notices bytes past an answer's length in the read that ends it ("Excess found"), drops
// them and closes the connection; the call fails too, since an answer framed wrongly cannot be
// trusted to be this request's own.
int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* userData) {
  static constexpr char kExcess[] = "Excess found";
  if (type == CURLINFO_TEXT && size >= sizeof kExcess - 1 && std::memcmp(data, kExcess, sizeof kExcess - 1) == 0)
    static_cast<Handle*>(userData)->excess = true;
  return 0;
}

size_t OnHeader(char* data, size_t size, size_t count, void* userData) {
  Handle* request = static_cast<Handle*>(userData);
  std::string line(data, size * count);
  request->lastActivity = std::chrono::steady_clock::now();
  // As WinInet, the send has succeeded only once the whole head has arrived.
  if ((line == "\r\n" || line == "\n") && request->status >= 200) request->headSeen = true;
  if (StartsWithNoCase(line, "HTTP/")) {
    // A new status line: an interim answer or a redirect starts over.
    request->headSeen = false;
    request->body.clear();
    std::size_t space = line.find(' ');
    std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    request->status = static_cast<DWORD>(std::strtoul(rest.c_str(), nullptr, 10));
    std::size_t textStart = rest.find(' ');
    std::string text = textStart == std::string::npos ? "" : rest.substr(textStart + 1);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    request->statusText = text;
  }
  return size * count;
}

// libcurl sends a request again, unasked, on a new connection when a kept one dies before
// any byte of an answer: for a POST the service may already hold the message, so once a byte
// of such a request went out no further connection is opened and the request fails instead.
curl_socket_t OpenSocket(void* userData, curlsocktype, curl_sockaddr* address) {
  Handle* request = static_cast<Handle*>(userData);
  long sent = 0;
  if (request->easy && curl_easy_getinfo(request->easy, CURLINFO_REQUEST_SIZE, &sent) == CURLE_OK && sent > 0) {
    request->resendRefused = true;
    curl_easy_getinfo(request->easy, CURLINFO_OS_ERRNO, &request->resendErrno);
    return CURL_SOCKET_BAD;
  }
  return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

// The receive time-out is a time without progress, not a limit on the whole answer.
int OnProgress(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t ulnow) {
  Handle* request = static_cast<Handle*>(userData);
  auto now = std::chrono::steady_clock::now();
  if (ulnow != request->lastUp) {
    request->lastUp = ulnow;
    request->lastActivity = now;
  }
  auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(now - request->lastActivity);
  if (idle.count() > static_cast<long long>(request->options.receiveTimeoutMs)) {
    request->timedOut = true;
    return 1;
  }
  return 0;
}

// A connection that ended under a request: reset by the peer, or otherwise aborted.
DWORD ConnectionEnded(long osErrno) {
  return osErrno == ECONNRESET || osErrno == EPIPE ? ERROR_INTERNET_CONNECTION_RESET
                                                   : ERROR_INTERNET_CONNECTION_ABORTED;
}

DWORD MapCurlError(CURLcode code, CURL* curl, const Handle& request) {
  if (request.certError) return request.certError;
  if (request.tooLarge) return ERROR_FILE_TOO_LARGE;
  if (request.resendRefused) return ConnectionEnded(request.resendErrno);
  long osErrno = 0;
  curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osErrno);
  switch (code) {
    case CURLE_URL_MALFORMAT: return ERROR_INTERNET_INVALID_URL;
    case CURLE_UNSUPPORTED_PROTOCOL: return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    case CURLE_ABORTED_BY_CALLBACK:
      return request.timedOut ? ERROR_INTERNET_TIMEOUT : ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_FAIL_REWIND: return ConnectionEnded(osErrno);
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE: return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
    case CURLE_TOO_MANY_REDIRECTS: return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_SSL_CONNECT_ERROR:
      if (osErrno == ECONNRESET) return ERROR_INTERNET_CONNECTION_RESET;
      return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    case CURLE_PEER_FAILED_VERIFICATION: return ERROR_INTERNET_INVALID_CA;
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR: return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    case CURLE_OUT_OF_MEMORY: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_INTERNET_INTERNAL_ERROR;
  }
}

std::string BuildUrl(const Handle& request) {
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

// Splits header text at CR LF (or a lone LF) into lines, dropping empty ones.
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

bool SetDword(LPVOID buffer, LPDWORD length, DWORD value) {
  if (!length) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (!buffer || *length < sizeof(DWORD)) {
    *length = sizeof(DWORD);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  std::memcpy(buffer, &value, sizeof(DWORD));
  *length = sizeof(DWORD);
  return true;
}

bool SetText(LPVOID buffer, LPDWORD length, const std::string& text) {
  if (!length) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (!buffer || *length < text.size() + 1) {
    *length = static_cast<DWORD>(text.size() + 1);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  *length = static_cast<DWORD>(text.size());
  return true;
}

}  // namespace

// A handle in our own table; libcurl is set up on first use. Never touches the network.
extern "C" HINTERNET WINAPI InternetOpenA(LPCSTR lpszAgent, DWORD dwAccessType, LPCSTR lpszProxy,
                                          LPCSTR lpszProxyBypass, DWORD) {
  InitCurlOnce();
  auto root = std::make_unique<Handle>();
  root->kind = Kind::Root;
  {
    std::lock_guard<std::mutex> guard(g_handlesLock);
    root->options = g_globalOptions;
  }
  root->agent = lpszAgent ? lpszAgent : "";
  root->accessType = dwAccessType;
  root->proxy = lpszProxy ? lpszProxy : "";
  root->proxyBypass = lpszProxyBypass ? lpszProxyBypass : "";
  return Register(std::move(root));
}

// Records host and port only; as on Windows, the network is first reached by HttpSendRequestA.
extern "C" HINTERNET WINAPI InternetConnectA(HINTERNET hInternet, LPCSTR lpszServerName, INTERNET_PORT nServerPort,
                                             LPCSTR, LPCSTR, DWORD dwService, DWORD, DWORD_PTR) {
  Handle* root = Lookup(hInternet, Kind::Root);
  if (!root) return nullptr;
  if (!lpszServerName || dwService != INTERNET_SERVICE_HTTP) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto connection = std::make_unique<Handle>(*root);
  connection->kind = Kind::Connection;
  connection->host = lpszServerName;
  connection->port = nServerPort;
  return Register(std::move(connection));
}

// Time-outs (kept per handle, inherited by handles opened from it), security flags of a
// request, connection limits (kept and reported; libcurl opens one connection per request).
extern "C" BOOL WINAPI InternetSetOptionA(HINTERNET hInternet, DWORD dwOption, LPVOID lpBuffer, DWORD dwBufferLength) {
  if (!lpBuffer || dwBufferLength < sizeof(DWORD)) {
    SetLastError(ERROR_INTERNET_BAD_OPTION_LENGTH);
    return FALSE;
  }
  DWORD value;
  std::memcpy(&value, lpBuffer, sizeof(DWORD));
  Options* options = nullptr;
  Handle* handle = nullptr;
  if (hInternet) {
    handle = LookupAny(hInternet);
    if (!handle) return FALSE;
    options = &handle->options;
  } else {
    options = &g_globalOptions;
  }
  std::lock_guard<std::mutex> guard(g_handlesLock);
  switch (dwOption) {
    case INTERNET_OPTION_CONNECT_TIMEOUT: options->connectTimeoutMs = value; return TRUE;
    case INTERNET_OPTION_SEND_TIMEOUT: options->sendTimeoutMs = value; return TRUE;
    case INTERNET_OPTION_RECEIVE_TIMEOUT: options->receiveTimeoutMs = value; return TRUE;
    case INTERNET_OPTION_MAX_CONNS_PER_SERVER: options->maxConnsPerServer = value; return TRUE;
    case INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER: options->maxConnsPer10Server = value; return TRUE;
    case INTERNET_OPTION_SECURITY_FLAGS:
      if (!handle || handle->kind != Kind::Request) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return FALSE;
      }
      handle->securityFlags = value | (handle->securityFlags & SECURITY_FLAG_SECURE);
      return TRUE;
    default: SetLastError(ERROR_INTERNET_INVALID_OPTION); return FALSE;
  }
}

// Reads back what InternetSetOptionA keeps.
extern "C" BOOL WINAPI InternetQueryOptionA(HINTERNET hInternet, DWORD dwOption, LPVOID lpBuffer,
                                            LPDWORD lpdwBufferLength) {
  Options options;
  Handle* handle = nullptr;
  if (hInternet) {
    handle = LookupAny(hInternet);
    if (!handle) return FALSE;
  }
  {
    std::lock_guard<std::mutex> guard(g_handlesLock);
    options = handle ? handle->options : g_globalOptions;
  }
  switch (dwOption) {
    case INTERNET_OPTION_CONNECT_TIMEOUT: return SetDword(lpBuffer, lpdwBufferLength, options.connectTimeoutMs);
    case INTERNET_OPTION_SEND_TIMEOUT: return SetDword(lpBuffer, lpdwBufferLength, options.sendTimeoutMs);
    case INTERNET_OPTION_RECEIVE_TIMEOUT: return SetDword(lpBuffer, lpdwBufferLength, options.receiveTimeoutMs);
    case INTERNET_OPTION_MAX_CONNS_PER_SERVER: return SetDword(lpBuffer, lpdwBufferLength, options.maxConnsPerServer);
    case INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER:
      return SetDword(lpBuffer, lpdwBufferLength, options.maxConnsPer10Server);
    case INTERNET_OPTION_SECURITY_FLAGS:
      if (!handle || handle->kind != Kind::Request) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return FALSE;
      }
      return SetDword(lpBuffer, lpdwBufferLength, handle->securityFlags);
    default: SetLastError(ERROR_INTERNET_INVALID_OPTION); return FALSE;
  }
}

// Records the request; the security flags start from the request flags, as on Windows.
extern "C" HINTERNET WINAPI HttpOpenRequestA(HINTERNET hConnect, LPCSTR lpszVerb, LPCSTR lpszObjectName,
                                             LPCSTR lpszVersion, LPCSTR, LPCSTR* lplpszAcceptTypes, DWORD dwFlags,
                                             DWORD_PTR) {
  Handle* connection = Lookup(hConnect, Kind::Connection);
  if (!connection) return nullptr;
  auto request = std::make_unique<Handle>(*connection);
  request->kind = Kind::Request;
  request->verb = lpszVerb && *lpszVerb ? lpszVerb : "GET";
  request->object = lpszObjectName ? lpszObjectName : "";
  request->version = lpszVersion && *lpszVersion ? lpszVersion : "HTTP/1.1";
  if (lplpszAcceptTypes) {
    for (LPCSTR* type = lplpszAcceptTypes; *type; ++type) {
      if (!request->accept.empty()) request->accept += ", ";
      request->accept += *type;
    }
  }
  request->flags = dwFlags;
  request->securityFlags = (dwFlags & INTERNET_FLAG_SECURE ? SECURITY_FLAG_SECURE : 0) |
                           (dwFlags & (INTERNET_FLAG_IGNORE_CERT_CN_INVALID | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID));
  return Register(std::move(request));
}

// Header lines are kept in order and sent as given; REPLACE swaps a line of the same name.
extern "C" BOOL WINAPI HttpAddRequestHeadersA(HINTERNET hRequest, LPCSTR lpszHeaders, DWORD dwHeadersLength,
                                              DWORD dwModifiers) {
  Handle* request = Lookup(hRequest, Kind::Request);
  if (!request) return FALSE;
  if (!lpszHeaders) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<std::string> lines;
  AppendHeaderLines(lines, lpszHeaders, HeaderLength(lpszHeaders, dwHeadersLength));
  for (const auto& line : lines) {
    std::size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    std::string prefix = line.substr(0, colon + 1);
    bool exists = HasHeader(request->headers, line.substr(0, colon).c_str());
    if ((dwModifiers & HTTP_ADDREQ_FLAG_ADD_IF_NEW) && exists) continue;
    if ((dwModifiers & HTTP_ADDREQ_FLAG_REPLACE) && exists) {
      for (auto& h : request->headers)
        if (StartsWithNoCase(h, prefix.c_str())) h = line;
      continue;
    }
    request->headers.push_back(line);
  }
  return TRUE;
}

namespace {

using Clock = std::chrono::steady_clock;

struct Hop {
  std::string url;
  std::string verb;
  const char* body = nullptr;
  DWORD bodyLength = 0;
  std::vector<std::string> lines;  // header lines as sent
};

// The server part of a URL ("https://host:port") and its host; false for anything but http(s).
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

// What decides whether a kept connection may serve a request: its server, and the trust it
// was checked under.
std::string TrustKey(const std::string& server, const Handle& request, bool secure, const tls_trust::CaFile& caFile) {
  if (!secure) return server;
  return server + "|" + std::to_string(request.securityFlags & ~SECURITY_FLAG_SECURE) + "|" + caFile.stamp;
}

long RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 1 ? static_cast<long>(left) : 1;
}

// One request on one pooled connection, without following redirects.
DWORD Transfer(Handle* request, const Hop& hop, bool secure, const tls_trust::CaFile& caFile,
               Clock::time_point deadline) {
  CURL* curl = request->connection.easy;
  curl_easy_reset(curl);
  request->status = 0;
  request->statusText.clear();
  request->body.clear();
  request->headSeen = false;
  request->certError = 0;
  request->timedOut = false;
  request->tooLarge = false;
  request->excess = false;
  request->resendRefused = false;
  request->resendErrno = 0;
  request->lastUp = 0;
  request->easy = curl;

  curl_slist* list = nullptr;
  for (const auto& line : hop.lines) list = curl_slist_append(list, line.c_str());
  curl_easy_setopt(curl, CURLOPT_URL, hop.url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXCONNECTS, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXAGE_CONN, http_limits::kIdleConnectionSeconds);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION,
                   request->version == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
  if (!request->agent.empty()) curl_easy_setopt(curl, CURLOPT_USERAGENT, request->agent.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
  if (hop.verb == "POST") {
    // The body leaves with the head in one write; OpenSocket keeps libcurl from sending it twice.
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(hop.body ? hop.bodyLength : 0));
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, hop.body ? hop.body : "");
  } else if (hop.verb == "HEAD") {
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  } else if (hop.verb != "GET") {
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, hop.verb.c_str());
  }
  if (request->accessType == INTERNET_OPEN_TYPE_DIRECT) {
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
  } else if (request->accessType == INTERNET_OPEN_TYPE_PROXY) {
    curl_easy_setopt(curl, CURLOPT_PROXY, request->proxy.c_str());
    if (!request->proxyBypass.empty()) curl_easy_setopt(curl, CURLOPT_NOPROXY, request->proxyBypass.c_str());
  }
  long left = RemainingMs(deadline);
  long connectMs = static_cast<long>(request->options.connectTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connectMs > 0 && connectMs < left ? connectMs : left);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, left);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, request);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, request);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, request);
  curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, OnDebug);
  curl_easy_setopt(curl, CURLOPT_DEBUGDATA, request);
  curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);    // for OnDebug; nothing is printed
  if (hop.verb != "GET" && hop.verb != "HEAD") {  // a GET or HEAD may be sent once more, as WinInet does
    curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, OpenSocket);
    curl_easy_setopt(curl, CURLOPT_OPENSOCKETDATA, request);
  }
  std::optional<tls_trust::ConnectionTrust> trust;
  if (secure) {
    trust.emplace(request->securityFlags, request->hopHost, caFile, LibcurlAuthorities());
    if (trust->HasStore()) {
      // The store replaces libcurl's own in SslContextSetup; nothing for libcurl to load.
      curl_easy_setopt(curl, CURLOPT_CAINFO, nullptr);
      curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr);
    }
    curl_easy_setopt(curl, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);  // checked in SslContextSetup
    curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, SslContextSetup);
    curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, &*trust);
  }

  request->lastActivity = Clock::now();
  CURLcode result = curl_easy_perform(curl);
  if (trust) request->certError = trust->CertificateError();
  DWORD error = result == CURLE_OK ? 0 : MapCurlError(result, curl, *request);
  if (!error && request->excess) error = ERROR_HTTP_INVALID_SERVER_RESPONSE;
  if (error == ERROR_INTERNET_TIMEOUT || (result == CURLE_OPERATION_TIMEDOUT)) error = ERROR_INTERNET_TIMEOUT;
  // Nothing of this transfer may be called back once it is over.
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, nullptr);
  curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, nullptr);
  curl_easy_setopt(curl, CURLOPT_OPENSOCKETDATA, nullptr);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, nullptr);
  curl_slist_free_all(list);
  request->easy = nullptr;
  return error;
}

bool IsRedirect(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

void DropHeader(std::vector<std::string>& lines, const char* name) {
  std::string prefix = std::string(name) + ":";
  lines.erase(std::remove_if(lines.begin(), lines.end(),
                             [&](const std::string& line) { return StartsWithNoCase(line, prefix.c_str()); }),
              lines.end());
}

}  // namespace

// The request on a pooled connection, redirects followed as WinInet follows them: at most five,
// never from https to http, and a 301/302/303 to a POST turns it into a GET without its body.
// The whole call ends by the NORVOSMS_TIMEOUT deadline.
extern "C" BOOL WINAPI HttpSendRequestA(HINTERNET hRequest, LPCSTR lpszHeaders, DWORD dwHeadersLength,
                                        LPVOID lpOptional, DWORD dwOptionalLength) {
  Handle* request = Lookup(hRequest, Kind::Request);
  if (!request) return FALSE;
  ReleaseConnection(request->connection, false);  // a second send starts afresh
  request->sent = false;
  request->answerComplete = false;
  request->status = 0;
  request->statusText.clear();
  request->body.clear();
  request->readPos = 0;
  request->deferredError = 0;
  if (request->host.empty()) {
    SetLastError(ERROR_INTERNET_INVALID_URL);
    return FALSE;
  }
  HttpSettings settings;
  if (!http_limits::Current(settings)) {
    SetLastError(ERROR_INTERNET_INVALID_OPTION);  // a setting that cannot be honoured: nothing is sent
    return FALSE;
  }
  request->answerCap = settings.maxAnswerBytes;
  Clock::time_point deadline = Clock::now() + std::chrono::seconds(settings.timeoutSeconds);

  std::vector<std::string> headers = request->headers;
  if (lpszHeaders) AppendHeaderLines(headers, lpszHeaders, HeaderLength(lpszHeaders, dwHeadersLength));
  Hop hop;
  hop.url = BuildUrl(*request);
  hop.verb = request->verb;
  hop.body = static_cast<const char*>(lpOptional);
  hop.bodyLength = lpOptional ? dwOptionalLength : 0;
  // libcurl's own defaults that WinInet does not send are switched off.
  hop.lines.push_back(request->accept.empty() ? "Accept:" : "Accept: " + request->accept);
  if (request->flags & INTERNET_FLAG_KEEP_CONNECTION) hop.lines.push_back("Connection: Keep-Alive");
  if (request->flags & INTERNET_FLAG_PRAGMA_NOCACHE) hop.lines.push_back("Pragma: no-cache");
  if (!HasHeader(headers, "Content-Type")) hop.lines.push_back("Content-Type:");
  hop.lines.push_back("Expect:");
  hop.lines.insert(hop.lines.end(), headers.begin(), headers.end());
  bool http10 = request->version == "HTTP/1.0";
  DWORD limit = http10 ? request->options.maxConnsPer10Server : request->options.maxConnsPerServer;
  const tls_trust::CaFile caFile = tls_trust::CaFile::Now();

  for (int hops = 0;; ++hops) {
    std::string server, host;
    bool secure = false;
    if (!ServerOf(hop.url, server, host, secure)) {
      SetLastError(hops ? ERROR_HTTP_REDIRECT_FAILED : ERROR_INTERNET_INVALID_URL);
      return FALSE;
    }
    request->hopHost = host;
    if (!AcquireConnection(server, TrustKey(server, *request, secure, caFile), limit, deadline, request->connection)) {
      SetLastError(ERROR_INTERNET_TIMEOUT);
      return FALSE;
    }
    DWORD error = Transfer(request, hop, secure, caFile, deadline);
    if (error && !request->headSeen) {
      ReleaseConnection(request->connection, false);
      request->body.clear();
      SetLastError(error);
      return FALSE;
    }
    if (error || !IsRedirect(request->status) || (request->flags & INTERNET_FLAG_NO_AUTO_REDIRECT)) {
      request->sent = true;
      request->deferredError = error;
      request->answerComplete = !error;
      if (request->tooLarge) {
        request->body.clear();
        request->body.shrink_to_fit();
      }
      return TRUE;
    }
    char* location = nullptr;
    curl_easy_getinfo(request->connection.easy, CURLINFO_REDIRECT_URL, &location);
    std::string next = location ? location : "";
    ReleaseConnection(request->connection, true);  // the redirect's answer was read whole
    request->body.clear();
    std::string nextServer, nextHost;
    bool nextSecure = false;
    if (next.empty() || hops + 1 > http_limits::kMaxRedirectHops || !ServerOf(next, nextServer, nextHost, nextSecure)) {
      SetLastError(ERROR_HTTP_REDIRECT_FAILED);
      return FALSE;
    }
    if (secure && !nextSecure) {
      SetLastError(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR);
      return FALSE;
    }
    if ((request->status == 303 && hop.verb != "HEAD") ||
        ((request->status == 301 || request->status == 302) && hop.verb == "POST")) {
      hop.verb = "GET";
      hop.body = nullptr;
      hop.bodyLength = 0;
      DropHeader(hop.lines, "Content-Length");
    }
    hop.url = next;
  }
}

// What is left of the received body, at most one chunk; a transfer failure after the head
// shows here once the bytes received before it are used up.
extern "C" BOOL WINAPI InternetQueryDataAvailable(HINTERNET hFile, LPDWORD lpdwNumberOfBytesAvailable, DWORD,
                                                  DWORD_PTR) {
  Handle* request = Lookup(hFile, Kind::Request);
  if (!request) return FALSE;
  if (!lpdwNumberOfBytesAvailable) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!request->sent) {
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    return FALSE;
  }
  std::size_t left = request->body.size() - request->readPos;
  if (left == 0 && request->deferredError) {
    SetLastError(request->deferredError);
    return FALSE;
  }
  *lpdwNumberOfBytesAvailable = static_cast<DWORD>(left < kReadChunkBytes ? left : kReadChunkBytes);
  return TRUE;
}

// Copies from the received body.
extern "C" BOOL WINAPI InternetReadFile(HINTERNET hFile, LPVOID lpBuffer, DWORD dwNumberOfBytesToRead,
                                        LPDWORD lpdwNumberOfBytesRead) {
  Handle* request = Lookup(hFile, Kind::Request);
  if (!request) return FALSE;
  if (!lpdwNumberOfBytesRead || (!lpBuffer && dwNumberOfBytesToRead)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *lpdwNumberOfBytesRead = 0;
  if (!request->sent) {
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    return FALSE;
  }
  std::size_t left = request->body.size() - request->readPos;
  if (left == 0 && request->deferredError && dwNumberOfBytesToRead) {
    SetLastError(request->deferredError);
    return FALSE;
  }
  std::size_t n = left < dwNumberOfBytesToRead ? left : dwNumberOfBytesToRead;
  if (n) std::memcpy(lpBuffer, request->body.data() + request->readPos, n);
  request->readPos += n;
  *lpdwNumberOfBytesRead = static_cast<DWORD>(n);
  return TRUE;
}

// The status code (as a number with HTTP_QUERY_FLAG_NUMBER, else as text) and the status
// text of the last status line received.
extern "C" BOOL WINAPI HttpQueryInfoA(HINTERNET hRequest, DWORD dwInfoLevel, LPVOID lpBuffer, LPDWORD lpdwBufferLength,
                                      LPDWORD) {
  Handle* request = Lookup(hRequest, Kind::Request);
  if (!request) return FALSE;
  if (!request->sent) {
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    return FALSE;
  }
  bool number = dwInfoLevel & HTTP_QUERY_FLAG_NUMBER;
  switch (dwInfoLevel & 0xFFFF) {
    case HTTP_QUERY_STATUS_CODE:
      if (number) return SetDword(lpBuffer, lpdwBufferLength, request->status);
      return SetText(lpBuffer, lpdwBufferLength, std::to_string(request->status));
    case HTTP_QUERY_STATUS_TEXT:
      if (number) break;
      return SetText(lpBuffer, lpdwBufferLength, request->statusText);
    default: break;
  }
  SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
  return FALSE;
}

// Frees our handle record; handles opened from it stay usable until closed themselves.
extern "C" BOOL WINAPI InternetCloseHandle(HINTERNET hInternet) {
  std::unique_ptr<Handle> doomed;
  {
    std::lock_guard<std::mutex> guard(g_handlesLock);
    doomed = g_handles.Remove(hInternet);
  }
  if (!doomed) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // The connection serves again only when its whole answer was read.
  if (doomed->connection.easy)
    ReleaseConnection(doomed->connection, doomed->answerComplete && doomed->readPos == doomed->body.size());
  return TRUE;
}

// A GET of a whole http(s) address on the root handle: the request handle it returns is read
// with InternetReadFile and closed with InternetCloseHandle. INTERNET_FLAG_RELOAD asks every
// cache on the way for a fresh copy.
extern "C" HINTERNET WINAPI InternetOpenUrlA(HINTERNET hInternet, LPCSTR lpszUrl, LPCSTR lpszHeaders,
                                             DWORD dwHeadersLength, DWORD dwFlags, DWORD_PTR) {
  Handle* root = Lookup(hInternet, Kind::Root);
  if (!root) return nullptr;
  std::string server, host;
  bool secure = false;
  if (!lpszUrl || !std::strstr(lpszUrl, "://")) {
    SetLastError(ERROR_INTERNET_INVALID_URL);
    return nullptr;
  }
  if (!ServerOf(lpszUrl, server, host, secure)) {
    const char* colon = std::strstr(lpszUrl, "://");
    std::string scheme(lpszUrl, colon);
    SetLastError(!EqualsNoCase(scheme, "http") && !EqualsNoCase(scheme, "https") ? ERROR_INTERNET_UNRECOGNIZED_SCHEME
                                                                                 : ERROR_INTERNET_INVALID_URL);
    return nullptr;
  }
  CURLU* parsed = curl_url();
  char* path = nullptr;
  char* query = nullptr;
  char* port = nullptr;
  if (parsed && curl_url_set(parsed, CURLUPART_URL, lpszUrl, 0) == CURLUE_OK) {
    curl_url_get(parsed, CURLUPART_PATH, &path, 0);
    curl_url_get(parsed, CURLUPART_QUERY, &query, 0);
    curl_url_get(parsed, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT);
  }
  auto request = std::make_unique<Handle>(*root);
  request->kind = Kind::Request;
  request->host = host;
  request->port = static_cast<INTERNET_PORT>(port ? std::atoi(port) : 0);
  request->object = std::string(path ? path : "/") + (query ? std::string("?") + query : "");
  curl_free(path);
  curl_free(query);
  curl_free(port);
  curl_url_cleanup(parsed);
  request->verb = "GET";
  request->version = "HTTP/1.1";
  request->flags =
      (dwFlags & ~INTERNET_FLAG_SECURE) | INTERNET_FLAG_KEEP_CONNECTION | (secure ? INTERNET_FLAG_SECURE : 0);
  request->securityFlags = (secure ? SECURITY_FLAG_SECURE : 0) |
                           (dwFlags & (INTERNET_FLAG_IGNORE_CERT_CN_INVALID | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID));
  if (dwFlags & INTERNET_FLAG_RELOAD) {
    request->headers.push_back("Cache-Control: no-cache");
    request->headers.push_back("Pragma: no-cache");
  }
  if (lpszHeaders) AppendHeaderLines(request->headers, lpszHeaders, HeaderLength(lpszHeaders, dwHeadersLength));
  HINTERNET handle = Register(std::move(request));
  if (!HttpSendRequestA(handle, nullptr, 0, nullptr, 0)) {
    DWORD error = GetLastError();
    InternetCloseHandle(handle);
    SetLastError(error);
    return nullptr;
  }
  return handle;
}
