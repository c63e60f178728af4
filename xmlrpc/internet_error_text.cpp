#include "xmlrpc/internet_error_text.h"

#include <wininet.h>

#include <cstdio>

namespace {

enum class Wording {
  kInsteadOfSystem,   // the system's text is not used for this code
  kWhereSystemLacks,  // only where wininet.dll is loaded but has no text for it
};

struct ErrorText {
  DWORD code;
  Wording use;
  const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {ERROR_INTERNET_TIMEOUT, Wording::kInsteadOfSystem, "Internet timeout"},
    {ERROR_INTERNET_INVALID_URL, Wording::kInsteadOfSystem, "Invalid URL"},
    // Exact on purpose, "!" for "not" included: callers compare these texts.
    {ERROR_INTERNET_NAME_NOT_RESOLVED, Wording::kInsteadOfSystem, "Name ! resolved"},
    {ERROR_INTERNET_CANNOT_CONNECT, Wording::kInsteadOfSystem, "Failed to connect"},
    {ERROR_INTERNET_CONNECTION_ABORTED, Wording::kInsteadOfSystem, "Connection aborted"},
    {ERROR_INTERNET_CONNECTION_RESET, Wording::kInsteadOfSystem, "Connection reset"},
    {ERROR_INTERNET_INVALID_CA, Wording::kInsteadOfSystem, "Invalid certificate authority"},
    {ERROR_INTERNET_SECURITY_CHANNEL_ERROR, Wording::kInsteadOfSystem, "Talking HTTPS to an HTTP server?"},
    {ERROR_INTERNET_NOT_INITIALIZED, Wording::kInsteadOfSystem, "Internet ! initialised"},  // exact on purpose
    // Refusals of a hostile server, which the system table does not word clearly.
    {ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR, Wording::kInsteadOfSystem, "Redirect from https to http refused"},
    {ERROR_HTTP_REDIRECT_FAILED, Wording::kInsteadOfSystem, "Redirect failed (too many, or to another scheme)"},
    {ERROR_FILE_TOO_LARGE, Wording::kInsteadOfSystem, "Answer larger than NORVOSMS_MAX_ANSWER bytes; refused"},
    {ERROR_HTTP_INVALID_SERVER_RESPONSE, Wording::kInsteadOfSystem,
     "Answer not framed as HTTP (bytes past its length among others); refused"},
    // Certificate failures come back from HttpSendRequest; a bare number gives the user nothing
    // to act on.
    {ERROR_INTERNET_SEC_CERT_DATE_INVALID, Wording::kWhereSystemLacks,
     "The server's certificate has expired or is not yet valid; check this computer's date and time.\r\n"},
    {ERROR_INTERNET_SEC_CERT_CN_INVALID, Wording::kWhereSystemLacks,
     "The server's certificate was issued for another host name; check the address in NORVOSMS_API_URL.\r\n"},
    {ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED, Wording::kWhereSystemLacks,
     "The server asks for a client certificate, which is not offered.\r\n"},
    {ERROR_INTERNET_SEC_CERT_ERRORS, Wording::kWhereSystemLacks, "The server's certificate has errors.\r\n"},
    {ERROR_INTERNET_SEC_CERT_NO_REV, Wording::kWhereSystemLacks,
     "The revocation of the server's certificate could not be checked; check the connection to its "
     "authority's revocation list.\r\n"},
    {ERROR_INTERNET_SEC_CERT_REV_FAILED, Wording::kWhereSystemLacks,
     "The revocation of the server's certificate could not be checked: its authority is not one Windows "
     "trusts, or its revocation list cannot be reached. Install the service's certificate authority in the "
     "Root store (NORVOSMS_INSECURE_TLS=1 accepts any certificate).\r\n"},
    {ERROR_INTERNET_SEC_INVALID_CERT, Wording::kWhereSystemLacks, "The server's certificate is invalid.\r\n"},
    {ERROR_INTERNET_SEC_CERT_REVOKED, Wording::kWhereSystemLacks, "The server's certificate has been revoked.\r\n"},
};

const char* TableText(DWORD code, Wording use) {
  for (const auto& entry : kErrorTexts)
    if (entry.code == code && entry.use == use) return entry.text;
  return nullptr;
}

}  // namespace

std::string InternetErrorText(DWORD code) {
  if (const char* own = TableText(code, Wording::kInsteadOfSystem)) return own;
  // WinInet's codes have their texts in wininet.dll's message table, not in the system's.
  HMODULE wininet = GetModuleHandleA("wininet.dll");
  DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  if (wininet) flags |= FORMAT_MESSAGE_FROM_HMODULE;
  LPSTR buffer = nullptr;
  DWORD length = FormatMessageA(flags, wininet, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
  std::string text;
  if (length && buffer) text.assign(buffer, length);
  if (buffer) LocalFree(buffer);
  if (!text.empty()) return text;
  if (wininet) {
    if (const char* own = TableText(code, Wording::kWhereSystemLacks)) return own;
  }
  char fallback[32];
  std::snprintf(fallback, sizeof fallback, "Error %u", static_cast<unsigned>(code));
  return fallback;
}
