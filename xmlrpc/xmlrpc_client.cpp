#include "xmlrpc/xmlrpc_client.h"

#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

#include "text/ansi_text.h"
#include "text/ascii_case.h"
#include "xmlrpc/ca_file_check.h"
#include "xmlrpc/host_setting.h"
#include "xmlrpc/http_settings.h"
#include "xmlrpc/internet_error_text.h"
#include "xmlrpc/tls_policy.h"
#include "xmlrpc/xmlrpc_text.h"
#ifdef _WIN32
#include "xmlrpc/windows_call_limits.h"
#endif

namespace {

constexpr const char* kAgent = "XmlRpc";
constexpr DWORD kReceiveTimeoutMs = 999000;
constexpr DWORD kMaxConnections = 5;
constexpr std::size_t kStatusLineBuffer = 512;
#ifdef _WIN32
// Windows' WinInet sends a request once more on a fresh connection when a kept one dies under
// it, and no flag turns that off; an API call may already have reached the service, so each
// goes on a connection of its own, which leaves WinInet nothing to send it again on.
constexpr DWORD kHttpFlags = INTERNET_FLAG_NO_CACHE_WRITE;
#else
constexpr DWORD kHttpFlags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION;
#endif
constexpr DWORD kHttpsFlags = kHttpFlags | INTERNET_FLAG_SECURE;
// What the client always sent before certificates were checked; NORVOSMS_INSECURE_TLS=1.
constexpr DWORD kHttpsFlagsInsecure =
    kHttpsFlags | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID | INTERNET_FLAG_IGNORE_CERT_CN_INVALID;

}  // namespace

XmlRpcClient::XmlRpcClient(const char* uri)
    : protocol(0), ignoreUnknownAuthority(false), internetHandle(nullptr), connectionHandle(nullptr), port(0) {
  parseUrl(uri ? uri : "");
}

XmlRpcClient::~XmlRpcClient() {
  if (connectionHandle) InternetCloseHandle(connectionHandle);
  if (internetHandle) InternetCloseHandle(internetHandle);
}

void XmlRpcClient::setIgnoreUnknownAuthority(bool value) { ignoreUnknownAuthority = value; }

std::string XmlRpcClient::lastError() {
  if (errorText.size() > kXmlRpcMaxErrorText) errorText.resize(kXmlRpcMaxErrorText);
  return errorText;
}

void XmlRpcClient::parseUrl(const char* uri) {
  const char* cursor;
  if (StartsWithNoCase(uri, "https://")) {
    protocol = 2;
    port = INTERNET_DEFAULT_HTTPS_PORT;
    cursor = uri + 8;
  } else if (StartsWithNoCase(uri, "http://")) {
    protocol = 1;
    port = INTERNET_DEFAULT_HTTP_PORT;
    cursor = uri + 7;
  } else {
    // Exact on purpose, "||" included: callers compare this text.
    errorText = "The URI must begin with \"https://\" || \"http://\".";
    return;
  }
  std::string problem = UrlSettingProblem(uri);
  if (!problem.empty()) {
    protocol = 0;
    errorText = "Invalid URL: " + problem;
    return;
  }
  const char* hostEnd = cursor;
  while (*hostEnd && *hostEnd != ':' && *hostEnd != '/' && *hostEnd != '?' && *hostEnd != '#' && *hostEnd != '\\')
    ++hostEnd;
  std::string host(cursor, hostEnd);
  cursor = hostEnd;
  if (*cursor == ':') {  // 1 to 65535 in digits, as checked above
    ++cursor;
    int number = 0;
    while (*cursor >= '0' && *cursor <= '9') number = number * 10 + (*cursor++ - '0');
    port = number;
  }
  objectPath = cursor;
  connect(host);
}

void XmlRpcClient::connect(const std::string& host) {
  internetHandle = InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!internetHandle) {
    describeError("InternetOpen");
    return;
  }
  connectionHandle = InternetConnectA(internetHandle, host.c_str(), static_cast<INTERNET_PORT>(port), nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0);
  if (!connectionHandle) {
    describeError("InternetConnect");
    return;
  }
  DWORD timeout = kReceiveTimeoutMs;
  InternetSetOptionA(internetHandle, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
  InternetSetOptionA(connectionHandle, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
}

void XmlRpcClient::describeError(const char* operation) {
  DWORD code = GetLastError();
#ifdef _WIN32
  // A step the deadline cut short fails on its closed handle; the call timed out.
  if (windowsLimits && windowsLimits->DeadlinePassed()) code = ERROR_INTERNET_TIMEOUT;
#endif
  errorText = std::string(operation) + " : " + InternetErrorText(code);
}

bool XmlRpcClient::execute(const char* method, const XmlRpcValue& params, XmlRpcValue& result) {
  errorText.clear();
  if (!connectionHandle) {
    errorText = "No connection";
    return false;
  }
  // Checked here as well as below, so the refusal reaches the caller in words, with nothing sent.
  HttpSettings settings;
  if (!ReadHttpSettings(settings, errorText)) return false;
  if (protocol == 2 && !(errorText = CaFileProblem()).empty()) return false;
  std::ostringstream call;
  writeCall(method ? method : "", params, call);  // "Undefined XmlRpc value" leaves here

  std::string body;
  if (!Utf8FromAnsi(call.str(), body, kXmlRpcConversionBuffer)) {
    errorText = "Could not convert the call text to UTF-8";
    return false;
  }

  LPCSTR acceptTypes[] = {"text/*", nullptr};
  DWORD flags = protocol == 2 ? (InsecureTlsRequested() ? kHttpsFlagsInsecure : kHttpsFlags) : kHttpFlags;
  HINTERNET request =
      HttpOpenRequestA(connectionHandle, "POST", objectPath.c_str(), "HTTP/1.0", nullptr, acceptTypes, flags, 0);
  if (!request) {
    describeError("HttpOpenRequest");
    return false;
  }
  std::string received;
#ifdef _WIN32
  // WinInet has no deadline for a whole call and no cap on an answer: the limits add both.
  WindowsCallLimits limits(settings);
  if (!limits.Arm(request)) {
    describeError("CreateTimerQueueTimer");
    InternetCloseHandle(request);
    return false;
  }
  windowsLimits = &limits;
  bool sent = sendAndRead(request, body, received);
  windowsLimits = nullptr;
  // The deadline closed the handle between two steps that report no code of their own.
  if (limits.Finish() && !sent && errorText.find(" : ") == std::string::npos) {
    SetLastError(ERROR_INTERNET_TIMEOUT);
    describeError("HttpQueryInfo");
  }
#else
  bool sent = sendAndRead(request, body, received);
  InternetCloseHandle(request);
#endif
  if (!sent) return false;
  if (received.empty()) {
    errorText = "Invalid XMLRPC response: content size is 0";
    return false;
  }
  decode(received, result);
  return errorText.empty();
}

// Steps from the security options to the status check; the request handle stays open.
bool XmlRpcClient::sendAndRead(HINTERNET request, const std::string& body, std::string& received) {
  if (ignoreUnknownAuthority) {
    DWORD value = 0, length = sizeof value;
    InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &value, &length);
    // Windows reports an authority it cannot check as a failed revocation check.
    value |= SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_REVOCATION;
    InternetSetOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &value, sizeof value);
    length = sizeof value;
    InternetQueryOptionA(request, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &value, &length);
    value = kMaxConnections;
    InternetSetOptionA(request, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &value, sizeof value);
    length = sizeof value;
    InternetQueryOptionA(request, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER, &value, &length);
    value = kMaxConnections;
    InternetSetOptionA(request, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER, &value, sizeof value);
  }

  char headers[kStatusLineBuffer];
  // "Content-length" with a lower-case l is exact on purpose: the service receives these bytes.
  std::snprintf(headers, sizeof headers, "Content-Type: text/xml\r\nContent-length: %d", static_cast<int>(body.size()));
  HttpAddRequestHeadersA(request, headers, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD);

#ifdef _WIN32
  BOOL sentHead = windowsLimits ? windowsLimits->SendRequest(request, body)
                                : HttpSendRequestA(request, nullptr, 0, const_cast<char*>(body.c_str()),
                                                   static_cast<DWORD>(body.size()));
#else
  BOOL sentHead =
      HttpSendRequestA(request, nullptr, 0, const_cast<char*>(body.c_str()), static_cast<DWORD>(body.size()));
#endif
  if (!sentHead) {
    describeError("HttpSendRequest");
    return false;
  }
#ifdef _WIN32
  if (windowsLimits && windowsLimits->AnnouncedTooLarge(request)) {
    refuseOversizedAnswer(received);
    return false;
  }
#endif

  for (;;) {
    DWORD available = 0;
    if (!InternetQueryDataAvailable(request, &available, 0, 0)) {
      describeError("InternetQueryDataAvailable");
      break;
    }
    if (available == 0) break;
#ifdef _WIN32
    if (windowsLimits && windowsLimits->TooLarge(received.size(), available)) {
      refuseOversizedAnswer(received);
      break;
    }
#endif
    std::size_t before = received.size();
    received.resize(before + available);
    DWORD got = 0;
    if (!InternetReadFile(request, &received[before], available, &got)) {
      received.resize(before);
      describeError("InternetReadFile");
      break;
    }
    received.resize(before + got);
    if (got == 0) break;  // nothing more despite the count: the body has ended
  }
  if (!errorText.empty()) return false;  // the read failed (an answer over the cap among others)

  DWORD status = 0, length = sizeof status;
  if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr)) {
    errorText = "Could not query HTTP result status";
    return false;
  }
  if (status != 200) {
    DWORD textLength = 0;
    HttpQueryInfoA(request, HTTP_QUERY_STATUS_TEXT, nullptr, &textLength, nullptr);
    std::vector<char> text(textLength + 1, '\0');
    DWORD size = textLength + 1;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_TEXT, text.data(), &size, nullptr)) {
      errorText = "Could not query HTTP result status";
      return false;
    }
    char line[kStatusLineBuffer];
    std::snprintf(line, sizeof line, "Low level (HTTP) error: %d %s", static_cast<int>(status), text.data());
    errorText = line;
    return false;
  }
  return true;
}

#ifdef _WIN32
// In the words the Linux layer uses for the same refusal; what was read is let go at once.
void XmlRpcClient::refuseOversizedAnswer(std::string& received) {
  std::string().swap(received);
  SetLastError(ERROR_FILE_TOO_LARGE);
  describeError("InternetQueryDataAvailable");
}
#endif

void XmlRpcClient::decode(const std::string& received, XmlRpcValue& result) {
  try {
    if (!readResponse(received.c_str(), result)) {
      XmlRpcValue& faultString = result.member("faultString");
      errorText = faultString.type() == XmlRpcType::String ? faultString.asString() : "unspecified error";
    }
  } catch (const XmlRpcException& e) {
    // A failure must never read as success, even when the message is empty.
    errorText = e.getMessage().empty() ? "Invalid XMLRPC response" : e.getMessage();
  }
}
