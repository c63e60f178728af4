#include "xmlrpc/internet_error_text.h"

#include <wininet.h>

#include <cstdio>

namespace {

struct CertificateErrorText {
  DWORD code;
  const char* text;
};

// Certificate failures come back from HttpSendRequest; a bare number gives the user nothing
// to act on. ERROR_INTERNET_INVALID_CA keeps its own text in the transport's table.
constexpr CertificateErrorText kCertificateErrorTexts[] = {
    {ERROR_INTERNET_SEC_CERT_DATE_INVALID,
     "The server's certificate has expired or is not yet valid; check this computer's date and time.\r\n"},
    {ERROR_INTERNET_SEC_CERT_CN_INVALID,
     "The server's certificate was issued for another host name; check the address in NORVOSMS_API_URL.\r\n"},
    {ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED, "The server asks for a client certificate, which is not offered.\r\n"},
    {ERROR_INTERNET_SEC_CERT_ERRORS, "The server's certificate has errors.\r\n"},
    {ERROR_INTERNET_SEC_CERT_NO_REV,
     "The revocation of the server's certificate could not be checked; check the connection to its "
     "authority's revocation list.\r\n"},
    {ERROR_INTERNET_SEC_CERT_REV_FAILED,
     "The revocation of the server's certificate could not be checked: its authority is not one Windows "
     "trusts, or its revocation list cannot be reached. Install the service's certificate authority in the "
     "Root store (NORVOSMS_INSECURE_TLS=1 accepts any certificate).\r\n"},
    {ERROR_INTERNET_SEC_INVALID_CERT, "The server's certificate is invalid.\r\n"},
    {ERROR_INTERNET_SEC_CERT_REVOKED, "The server's certificate has been revoked.\r\n"},
};

}  // namespace

std::string InternetErrorText(DWORD code) {
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
    for (const auto& entry : kCertificateErrorTexts)
      if (entry.code == code) return entry.text;
  }
  char fallback[32];
  std::snprintf(fallback, sizeof fallback, "Error %u", static_cast<unsigned>(code));
  return fallback;
}
