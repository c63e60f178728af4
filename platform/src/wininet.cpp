// WinInet's exports on Linux. A request is carried out in full by HttpSendRequestA (on libcurl,
// http_transfer.h); the body is then handed out from memory, and a failure that happened after
// the answer's head had arrived is reported by the reading calls, where Windows reports it.
#include <wininet.h>
#include <winerror.h>

#include <curl/curl.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ascii_case.h"
#include "http_transfer.h"
#include "wininet_handles.h"

using wininet_handles::InternetHandle;
using wininet_handles::Kind;

namespace {

// What InternetQueryDataAvailable reports at most per call, like one network read.
constexpr DWORD kReadChunkBytes = 8192;

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

using platform_ascii::EqualsNoCase;
using platform_ascii::StartsWithNoCase;

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

// The request handle a reading call names, else null with the error of the first fault: the
// handle, the call's parameters (`parametersSound`), a request not sent yet. `count`, when
// given, is zeroed once the parameters pass.
InternetHandle* SentRequest(HINTERNET h, bool parametersSound, LPDWORD count = nullptr) {
  InternetHandle* request = wininet_handles::Find(h, Kind::Request);
  if (!request) return nullptr;
  if (!parametersSound) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (count) *count = 0;
  if (!request->sent) {
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    return nullptr;
  }
  return request;
}

std::size_t BytesLeft(const InternetHandle& request) { return request.answer.body.size() - request.readPos; }

// A failure after the head shows once the bytes received before it are used up.
bool ReportsDeferredError(const InternetHandle& request) {
  if (BytesLeft(request) != 0 || !request.answer.deferredError) return false;
  SetLastError(request.answer.deferredError);
  return true;
}

}  // namespace

// A handle in our own table; libcurl is set up on first use. Never touches the network.
extern "C" HINTERNET WINAPI InternetOpenA(LPCSTR lpszAgent, DWORD dwAccessType, LPCSTR lpszProxy,
                                          LPCSTR lpszProxyBypass, DWORD) {
  InitCurlOnce();
  auto root = std::make_unique<InternetHandle>();
  root->kind = Kind::Root;
  {
    std::lock_guard<std::mutex> guard(wininet_handles::OptionsLock());
    root->options = wininet_handles::ProcessOptions();
  }
  root->agent = lpszAgent ? lpszAgent : "";
  root->accessType = dwAccessType;
  root->proxy = lpszProxy ? lpszProxy : "";
  root->proxyBypass = lpszProxyBypass ? lpszProxyBypass : "";
  return wininet_handles::Register(std::move(root));
}

// Records host and port only; as on Windows, the network is first reached by HttpSendRequestA.
extern "C" HINTERNET WINAPI InternetConnectA(HINTERNET hInternet, LPCSTR lpszServerName, INTERNET_PORT nServerPort,
                                             LPCSTR, LPCSTR, DWORD dwService, DWORD, DWORD_PTR) {
  InternetHandle* root = wininet_handles::Find(hInternet, Kind::Root);
  if (!root) return nullptr;
  if (!lpszServerName || dwService != INTERNET_SERVICE_HTTP) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto connection = std::make_unique<InternetHandle>(*root);
  connection->kind = Kind::Connection;
  connection->host = lpszServerName;
  connection->port = nServerPort;
  return wininet_handles::Register(std::move(connection));
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
  InternetOptions* options = nullptr;
  InternetHandle* handle = nullptr;
  if (hInternet) {
    handle = wininet_handles::Find(hInternet);
    if (!handle) return FALSE;
    options = &handle->options;
  } else {
    options = &wininet_handles::ProcessOptions();
  }
  std::lock_guard<std::mutex> guard(wininet_handles::OptionsLock());
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
  InternetOptions options;
  InternetHandle* handle = nullptr;
  if (hInternet) {
    handle = wininet_handles::Find(hInternet);
    if (!handle) return FALSE;
  }
  {
    std::lock_guard<std::mutex> guard(wininet_handles::OptionsLock());
    options = handle ? handle->options : wininet_handles::ProcessOptions();
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
  InternetHandle* connection = wininet_handles::Find(hConnect, Kind::Connection);
  if (!connection) return nullptr;
  auto request = std::make_unique<InternetHandle>(*connection);
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
  return wininet_handles::Register(std::move(request));
}

// Header lines are kept in order and sent as given; REPLACE swaps a line of the same name.
extern "C" BOOL WINAPI HttpAddRequestHeadersA(HINTERNET hRequest, LPCSTR lpszHeaders, DWORD dwHeadersLength,
                                              DWORD dwModifiers) {
  InternetHandle* request = wininet_handles::Find(hRequest, Kind::Request);
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

// The whole exchange happens here; the reading calls hand out the answer kept in memory.
extern "C" BOOL WINAPI HttpSendRequestA(HINTERNET hRequest, LPCSTR lpszHeaders, DWORD dwHeadersLength,
                                        LPVOID lpOptional, DWORD dwOptionalLength) {
  InternetHandle* request = wininet_handles::Find(hRequest, Kind::Request);
  if (!request) return FALSE;
  ReleaseConnection(request->connection, false);  // a second send starts afresh
  request->sent = false;
  request->answer = HttpAnswer();
  request->readPos = 0;
  std::vector<std::string> headers = request->headers;
  if (lpszHeaders) AppendHeaderLines(headers, lpszHeaders, HeaderLength(lpszHeaders, dwHeadersLength));
  DWORD error = SendFollowingRedirects(*request, headers, static_cast<const char*>(lpOptional), dwOptionalLength,
                                       request->connection, request->answer);
  if (error) {
    SetLastError(error);
    return FALSE;
  }
  request->sent = true;
  return TRUE;
}

// What is left of the received body, at most one chunk; a transfer failure after the head
// shows here once the bytes received before it are used up.
extern "C" BOOL WINAPI InternetQueryDataAvailable(HINTERNET hFile, LPDWORD lpdwNumberOfBytesAvailable, DWORD,
                                                  DWORD_PTR) {
  InternetHandle* request = SentRequest(hFile, lpdwNumberOfBytesAvailable != nullptr);
  if (!request || ReportsDeferredError(*request)) return FALSE;
  std::size_t left = BytesLeft(*request);
  *lpdwNumberOfBytesAvailable = static_cast<DWORD>(left < kReadChunkBytes ? left : kReadChunkBytes);
  return TRUE;
}

// Copies from the received body.
extern "C" BOOL WINAPI InternetReadFile(HINTERNET hFile, LPVOID lpBuffer, DWORD dwNumberOfBytesToRead,
                                        LPDWORD lpdwNumberOfBytesRead) {
  InternetHandle* request =
      SentRequest(hFile, lpdwNumberOfBytesRead && (lpBuffer || !dwNumberOfBytesToRead), lpdwNumberOfBytesRead);
  if (!request || (dwNumberOfBytesToRead && ReportsDeferredError(*request))) return FALSE;
  std::size_t left = BytesLeft(*request);
  std::size_t n = left < dwNumberOfBytesToRead ? left : dwNumberOfBytesToRead;
  if (n) std::memcpy(lpBuffer, request->answer.body.data() + request->readPos, n);
  request->readPos += n;
  *lpdwNumberOfBytesRead = static_cast<DWORD>(n);
  return TRUE;
}

// The status code (as a number with HTTP_QUERY_FLAG_NUMBER, else as text) and the status
// text of the last status line received.
extern "C" BOOL WINAPI HttpQueryInfoA(HINTERNET hRequest, DWORD dwInfoLevel, LPVOID lpBuffer, LPDWORD lpdwBufferLength,
                                      LPDWORD) {
  InternetHandle* request = SentRequest(hRequest, true);
  if (!request) return FALSE;
  bool number = dwInfoLevel & HTTP_QUERY_FLAG_NUMBER;
  switch (dwInfoLevel & 0xFFFF) {
    case HTTP_QUERY_STATUS_CODE:
      if (number) return SetDword(lpBuffer, lpdwBufferLength, request->answer.status);
      return SetText(lpBuffer, lpdwBufferLength, std::to_string(request->answer.status));
    case HTTP_QUERY_STATUS_TEXT:
      if (number) break;
      return SetText(lpBuffer, lpdwBufferLength, request->answer.statusText);
    default: break;
  }
  SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
  return FALSE;
}

// Frees our handle record; handles opened from it stay usable until closed themselves.
extern "C" BOOL WINAPI InternetCloseHandle(HINTERNET hInternet) {
  std::unique_ptr<InternetHandle> doomed = wininet_handles::Remove(hInternet);
  if (!doomed) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // The connection serves again only when its whole answer was read.
  if (doomed->connection.easy)
    ReleaseConnection(doomed->connection, doomed->answer.complete && doomed->readPos == doomed->answer.body.size());
  return TRUE;
}

// A GET of a whole http(s) address on the root handle: the request handle it returns is read
// with InternetReadFile and closed with InternetCloseHandle. INTERNET_FLAG_RELOAD asks every
// cache on the way for a fresh copy.
extern "C" HINTERNET WINAPI InternetOpenUrlA(HINTERNET hInternet, LPCSTR lpszUrl, LPCSTR lpszHeaders,
                                             DWORD dwHeadersLength, DWORD dwFlags, DWORD_PTR) {
  InternetHandle* root = wininet_handles::Find(hInternet, Kind::Root);
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
  auto request = std::make_unique<InternetHandle>(*root);
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
  HINTERNET handle = wininet_handles::Register(std::move(request));
  if (!HttpSendRequestA(handle, nullptr, 0, nullptr, 0)) {
    DWORD error = GetLastError();
    InternetCloseHandle(handle);
    SetLastError(error);
    return nullptr;
  }
  return handle;
}
