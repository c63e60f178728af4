// A WinInet request carried out on libcurl: each hop one exchange on a pooled connection with a
// state of its own, the redirects followed by one loop that holds the deadline.
#include "http_transfer.h"

#include <winerror.h>

#include <curl/curl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "ascii_case.h"
#include "http_limits.h"
#include "tls_trust.h"

namespace {

using Clock = std::chrono::steady_clock;

// One hop of a request as it goes on the wire.
struct Hop {
  std::string url;
  std::string verb;
  const char* body = nullptr;
  DWORD bodyLength = 0;
  std::vector<std::string> lines;  // header lines as sent
};

// What one exchange notices while libcurl runs it; made afresh for every hop.
struct TransferState {
  TransferState(CURL* handle, unsigned long long cap, DWORD receiveTimeout)
      : easy(handle), answerCap(cap), receiveTimeoutMs(receiveTimeout), lastActivity(Clock::now()) {}

  CURL* const easy;
  const unsigned long long answerCap;  // NORVOSMS_MAX_ANSWER as read when the send began
  const DWORD receiveTimeoutMs;
  std::optional<tls_trust::ConnectionTrust> trust;  // https only
  DWORD status = 0;
  std::string statusText;
  std::string body;
  bool headSeen = false;
  bool timedOut = false;
  bool tooLarge = false;
  bool excess = false;         // bytes arrived past the answer's length
  bool resendRefused = false;  // libcurl wanted to send the request again on a new connection
  long resendErrno = 0;        // what ended the connection under it
  Clock::time_point lastActivity;
  curl_off_t lastUp = 0;
};

// ---- libcurl callbacks ----

// The answer cap holds while the body arrives; an announced length above it is refused at once.
size_t OnBody(char* data, size_t size, size_t count, void* userData) {
  auto* state = static_cast<TransferState*>(userData);
  const unsigned long long cap = state->answerCap;
  curl_off_t announced = -1;
  if (state->body.empty()) curl_easy_getinfo(state->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
  if (size * count > cap - std::min<unsigned long long>(cap, state->body.size()) ||
      (announced > 0 && static_cast<unsigned long long>(announced) > cap)) {
    state->tooLarge = true;
    return 0;
  }
  state->body.append(data, size * count);
  state->lastActivity = Clock::now();
  return size * count;
}

// libcurl notices bytes past an answer's length in the read that ends it ("Excess found"), drops
// them and closes the connection; the call fails too, since an answer framed wrongly cannot be
// trusted to be this request's own. libcurl says so only in verbose mode, which OnHeader turns
// on once the head has ended (both of its notices come later): verbose from the start traces
// the TLS records and every header as text, some 8% of a call's CPU.
int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* userData) {
  static constexpr char kExcess[] = "Excess found";
  if (type == CURLINFO_TEXT && size >= sizeof kExcess - 1 && std::memcmp(data, kExcess, sizeof kExcess - 1) == 0)
    static_cast<TransferState*>(userData)->excess = true;
  return 0;
}

size_t OnHeader(char* data, size_t size, size_t count, void* userData) {
  auto* state = static_cast<TransferState*>(userData);
  std::string line(data, size * count);
  state->lastActivity = Clock::now();
  // As WinInet, the send has succeeded only once the whole head has arrived.
  if ((line == "\r\n" || line == "\n") && state->status >= 200) {
    state->headSeen = true;
    curl_easy_setopt(state->easy, CURLOPT_VERBOSE, 1L);  // for OnDebug; nothing is printed
  }
  if (platform_ascii::StartsWithNoCase(line, "HTTP/")) {
    // A new status line: an interim answer or a redirect starts over.
    state->headSeen = false;
    state->body.clear();
    std::size_t space = line.find(' ');
    std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    state->status = static_cast<DWORD>(std::strtoul(rest.c_str(), nullptr, 10));
    std::size_t textStart = rest.find(' ');
    std::string text = textStart == std::string::npos ? "" : rest.substr(textStart + 1);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    state->statusText = text;
  }
  return size * count;
}

// libcurl sends a request again, unasked, on a new connection when a kept one dies before
// any byte of an answer: for a POST the service may already hold the message, so once a byte
// of such a request went out no further connection is opened and the request fails instead.
curl_socket_t OpenSocket(void* userData, curlsocktype, curl_sockaddr* address) {
  auto* state = static_cast<TransferState*>(userData);
  long sent = 0;
  if (curl_easy_getinfo(state->easy, CURLINFO_REQUEST_SIZE, &sent) == CURLE_OK && sent > 0) {
    state->resendRefused = true;
    curl_easy_getinfo(state->easy, CURLINFO_OS_ERRNO, &state->resendErrno);
    return CURL_SOCKET_BAD;
  }
  return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

// The receive time-out is a time without progress, not a limit on the whole answer.
int OnProgress(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t ulnow) {
  auto* state = static_cast<TransferState*>(userData);
  auto now = Clock::now();
  if (ulnow != state->lastUp) {
    state->lastUp = ulnow;
    state->lastActivity = now;
  }
  auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(now - state->lastActivity);
  if (idle.count() > static_cast<long long>(state->receiveTimeoutMs)) {
    state->timedOut = true;
    return 1;
  }
  return 0;
}

CURLcode SslContextSetup(CURL*, void* sslCtx, void* trust) {
  static_cast<tls_trust::ConnectionTrust*>(trust)->SetUp(static_cast<SSL_CTX*>(sslCtx));
  return CURLE_OK;
}

// ---- libcurl results as WinInet codes ----

// A connection that ended under a request: reset by the peer, or otherwise aborted.
DWORD ConnectionEnded(long osErrno) {
  return osErrno == ECONNRESET || osErrno == EPIPE ? ERROR_INTERNET_CONNECTION_RESET
                                                   : ERROR_INTERNET_CONNECTION_ABORTED;
}

// What the callbacks noticed comes first: it is why libcurl gave up.
DWORD MapCurlError(CURLcode code, const TransferState& state) {
  if (DWORD certError = state.trust ? state.trust->CertificateError() : 0) return certError;
  if (state.tooLarge) return ERROR_FILE_TOO_LARGE;
  if (state.resendRefused) return ConnectionEnded(state.resendErrno);
  long osErrno = 0;
  curl_easy_getinfo(state.easy, CURLINFO_OS_ERRNO, &osErrno);
  switch (code) {
    case CURLE_URL_MALFORMAT: return ERROR_INTERNET_INVALID_URL;
    case CURLE_UNSUPPORTED_PROTOCOL: return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    case CURLE_ABORTED_BY_CALLBACK: return state.timedOut ? ERROR_INTERNET_TIMEOUT : ERROR_INTERNET_CONNECTION_ABORTED;
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

// The error a finished exchange leaves, 0 for none.
DWORD TransferError(CURLcode result, const TransferState& state) {
  // The deadline wins over whatever else the exchange noticed on its way.
  if (result == CURLE_OPERATION_TIMEDOUT) return ERROR_INTERNET_TIMEOUT;
  if (result != CURLE_OK) return MapCurlError(result, state);
  return state.excess ? ERROR_HTTP_INVALID_SERVER_RESPONSE : 0;
}

// ---- one exchange ----

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

// What decides whether a kept connection may serve a request: its server, and the trust it
// was checked under.
std::string TrustKey(const std::string& server, const HttpRequest& request, bool secure,
                     const tls_trust::CaFile& caFile) {
  if (!secure) return server;
  return server + "|" + std::to_string(request.securityFlags & ~SECURITY_FLAG_SECURE) + "|" + caFile.stamp;
}

long RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 1 ? static_cast<long>(left) : 1;
}

// One hop on the state's connection, without following redirects.
DWORD Transfer(const HttpRequest& request, const Hop& hop, Clock::time_point deadline, TransferState& state) {
  CURL* curl = state.easy;
  curl_easy_reset(curl);
  curl_slist* list = nullptr;
  for (const auto& line : hop.lines) list = curl_slist_append(list, line.c_str());
  curl_easy_setopt(curl, CURLOPT_URL, hop.url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXCONNECTS, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXAGE_CONN, http_limits::kIdleConnectionSeconds);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION,
                   request.version == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
  if (!request.agent.empty()) curl_easy_setopt(curl, CURLOPT_USERAGENT, request.agent.c_str());
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
  if (request.accessType == INTERNET_OPEN_TYPE_DIRECT) {
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
  } else if (request.accessType == INTERNET_OPEN_TYPE_PROXY) {
    curl_easy_setopt(curl, CURLOPT_PROXY, request.proxy.c_str());
    if (!request.proxyBypass.empty()) curl_easy_setopt(curl, CURLOPT_NOPROXY, request.proxyBypass.c_str());
  }
  long left = RemainingMs(deadline);
  long connectMs = static_cast<long>(request.options.connectTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connectMs > 0 && connectMs < left ? connectMs : left);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, left);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &state);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &state);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &state);
  curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, OnDebug);
  curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &state);
  if (hop.verb != "GET" && hop.verb != "HEAD") {  // a GET or HEAD may be sent once more, as WinInet does
    curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, OpenSocket);
    curl_easy_setopt(curl, CURLOPT_OPENSOCKETDATA, &state);
  }
  if (state.trust) {
    if (state.trust->HasStore()) {
      // The store replaces libcurl's own in SslContextSetup; nothing for libcurl to load.
      curl_easy_setopt(curl, CURLOPT_CAINFO, nullptr);
      curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr);
    }
    curl_easy_setopt(curl, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);  // checked by the trust's own host check
    curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, SslContextSetup);
    curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, &*state.trust);
  }

  state.lastActivity = Clock::now();
  CURLcode result = curl_easy_perform(curl);
  // Nothing of this exchange may be called back once it is over.
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(curl, CURLOPT_VERBOSE, 0L);
  curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, nullptr);
  curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, nullptr);
  curl_easy_setopt(curl, CURLOPT_OPENSOCKETDATA, nullptr);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, nullptr);
  curl_slist_free_all(list);
  return TransferError(result, state);
}

bool IsRedirect(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The first hop: the request's address, with libcurl's own defaults that WinInet does not send
// switched off.
Hop FirstHop(const HttpRequest& request, const std::vector<std::string>& headers, const char* body, DWORD bodyLength) {
  Hop hop;
  hop.url = BuildUrl(request);
  hop.verb = request.verb;
  hop.body = body;
  hop.bodyLength = body ? bodyLength : 0;
  hop.lines.push_back(request.accept.empty() ? "Accept:" : "Accept: " + request.accept);
  if (request.flags & INTERNET_FLAG_KEEP_CONNECTION) hop.lines.push_back("Connection: Keep-Alive");
  if (request.flags & INTERNET_FLAG_PRAGMA_NOCACHE) hop.lines.push_back("Pragma: no-cache");
  if (!HasHeader(headers, "Content-Type")) hop.lines.push_back("Content-Type:");
  hop.lines.push_back("Expect:");
  hop.lines.insert(hop.lines.end(), headers.begin(), headers.end());
  return hop;
}

}  // namespace

DWORD SendFollowingRedirects(const HttpRequest& request, const std::vector<std::string>& headers, const char* body,
                             DWORD bodyLength, PooledConnection& connection, HttpAnswer& answer) {
  if (request.host.empty()) return ERROR_INTERNET_INVALID_URL;
  HttpSettings settings;
  if (!http_limits::Current(settings)) return ERROR_INTERNET_INVALID_OPTION;  // a setting that cannot be honoured
  Clock::time_point deadline = Clock::now() + std::chrono::seconds(settings.timeoutSeconds);
  Hop hop = FirstHop(request, headers, body, bodyLength);
  DWORD limit = request.version == "HTTP/1.0" ? request.options.maxConnsPer10Server : request.options.maxConnsPerServer;
  const tls_trust::CaFile caFile = tls_trust::CaFile::Now();

  for (int hops = 0;; ++hops) {
    std::string server, host;
    bool secure = false;
    if (!ServerOf(hop.url, server, host, secure)) return hops ? ERROR_HTTP_REDIRECT_FAILED : ERROR_INTERNET_INVALID_URL;
    if (!AcquireConnection(server, TrustKey(server, request, secure, caFile), limit, deadline, connection))
      return ERROR_INTERNET_TIMEOUT;
    TransferState state(connection.easy, settings.maxAnswerBytes, request.options.receiveTimeoutMs);
    if (secure) state.trust.emplace(request.securityFlags, host, caFile, LibcurlAuthorities());
    DWORD error = Transfer(request, hop, deadline, state);
    if (error && !state.headSeen) {
      ReleaseConnection(connection, false);
      return error;
    }
    if (error || !IsRedirect(state.status) || (request.flags & INTERNET_FLAG_NO_AUTO_REDIRECT)) {
      answer.status = state.status;
      answer.statusText = std::move(state.statusText);
      // A refused answer's bytes are let go with the state, not handed out.
      if (!state.tooLarge) answer.body = std::move(state.body);
      answer.deferredError = error;
      answer.complete = !error;
      return 0;
    }
    char* location = nullptr;
    curl_easy_getinfo(connection.easy, CURLINFO_REDIRECT_URL, &location);
    std::string next = location ? location : "";
    ReleaseConnection(connection, true);  // the redirect's answer was read whole
    std::string nextServer, nextHost;
    bool nextSecure = false;
    if (next.empty() || hops + 1 > http_limits::kMaxRedirectHops || !ServerOf(next, nextServer, nextHost, nextSecure))
      return ERROR_HTTP_REDIRECT_FAILED;
    if (secure && !nextSecure) return ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR;
    if ((state.status == 303 && hop.verb != "HEAD") ||
        ((state.status == 301 || state.status == 302) && hop.verb == "POST")) {
      hop.verb = "GET";
      hop.body = nullptr;
      hop.bodyLength = 0;
      DropHeader(hop.lines, "Content-Length");
    }
    hop.url = next;
  }
}
