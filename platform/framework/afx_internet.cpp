// The framework's Internet session on the WinInet functions, so that the manifest is read
// through the same connections, limits and TLS policy as every other request.
#include <afxinet.h>
#include <winerror.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "../src/ascii_case.h"

#ifdef _WIN32
#include "xmlrpc/http_settings.h"
#include "xmlrpc/windows_call_limits.h"
#endif

namespace {

// The scheme compared without regard to ASCII case, then "://".
bool HasScheme(const char* url, const char* scheme) {
  const std::string_view text(url);
  const std::size_t n = std::strlen(scheme);
  return platform_ascii::StartsWithNoCase(text, scheme) && text.substr(n, 3) == "://";
}

#ifdef _WIN32
// An answer already read whole, handed out as the file's body.
class CAnswerFile : public CStdioFile {
 public:
  explicit CAnswerFile(std::string body) : m_body(std::move(body)) {}

 protected:
  UINT ReadRaw(BYTE* lpBuf, UINT nCount) override {
    const std::size_t n = std::min<std::size_t>(nCount, m_body.size() - m_pos);
    std::memcpy(lpBuf, m_body.data() + m_pos, n);
    m_pos += n;
    return static_cast<UINT>(n);
  }

 private:
  std::string m_body;
  std::size_t m_pos = 0;
};

// The body of a sent request, read within the limits; 0 or the failure's code.
DWORD ReadBody(HINTERNET request, WindowsCallLimits& limits, std::string& body) {
  if (limits.AnnouncedTooLarge(request)) return ERROR_FILE_TOO_LARGE;
  for (;;) {
    DWORD available = 0;
    if (!InternetQueryDataAvailable(request, &available, 0, 0)) return GetLastError();
    if (available == 0) return 0;
    if (limits.TooLarge(body.size(), available)) return ERROR_FILE_TOO_LARGE;
    const std::size_t before = body.size();
    body.resize(before + available);
    DWORD got = 0;
    if (!InternetReadFile(request, &body[before], available, &got)) return GetLastError();
    body.resize(before + got);
    if (got == 0) return 0;
  }
}

// The GET of `url` under NORVOSMS_TIMEOUT and NORVOSMS_MAX_ANSWER, which the system's WinInet
// does not have: the whole body is read here, as the Linux layer reads it inside the send, so a
// server that stalls, drips or sends too much fails the open. 0 or the failure's code.
DWORD FetchWithinLimits(HINTERNET session, LPCSTR url, DWORD flags, LPCSTR headers, DWORD headersLength,
                        DWORD_PTR context, std::string& body) {
  HttpSettings settings;
  std::string problem;
  if (!ReadHttpSettings(settings, problem)) return ERROR_INTERNET_INVALID_OPTION;
  URL_COMPONENTSA parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;  // pointers into url
  if (!InternetCrackUrlA(url, 0, 0, &parts)) return GetLastError();
  if (!parts.lpszHostName) return ERROR_INTERNET_INVALID_URL;
  const std::string host(parts.lpszHostName, parts.dwHostNameLength);
  std::string object;
  if (parts.lpszUrlPath) object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo) object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  HINTERNET connection =
      InternetConnectA(session, host.c_str(), parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, context);
  if (!connection) return GetLastError();
  // A GET may keep its connection: WinInet sending it again on a fresh one harms nothing.
  const DWORD requestFlags = (flags & ~(INTERNET_FLAG_TRANSFER_ASCII | INTERNET_FLAG_TRANSFER_BINARY)) |
                             INTERNET_FLAG_KEEP_CONNECTION |
                             (parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0);
  HINTERNET request = HttpOpenRequestA(connection, "GET", object.empty() ? "/" : object.c_str(), nullptr, nullptr,
                                       nullptr, requestFlags, context);
  WindowsCallLimits limits(settings);
  if (!request || !limits.Arm(request)) {
    DWORD error = GetLastError();
    if (request) InternetCloseHandle(request);
    InternetCloseHandle(connection);
    return error;
  }
  if (headers)
    HttpAddRequestHeadersA(request, headers, headersLength ? headersLength : static_cast<DWORD>(-1),
                           HTTP_ADDREQ_FLAG_ADD);
  DWORD error = limits.SendRequest(request, std::string()) ? ReadBody(request, limits, body) : GetLastError();
  // A step the deadline cut short fails on its closed handle; the read timed out.
  if (limits.Finish(connection) && error != 0) error = ERROR_INTERNET_TIMEOUT;
  if (error != 0) std::string().swap(body);
  return error;
}
#endif

}  // namespace

// Buffered reading over ReadRaw; the chunk size is the read buffer's size.
bool CStdioFile::Fill() {
  if (m_closed) return false;
  if (m_bufferPos < m_buffer.size()) return true;
  m_buffer.resize(m_readSize);
  UINT got = ReadRaw(reinterpret_cast<BYTE*>(m_buffer.data()), m_readSize);
  m_buffer.resize(got);
  m_bufferPos = 0;
  return got > 0;
}

// fgets-like over the buffered body; a zero byte in the data ends the text early for C callers.
LPSTR CStdioFile::ReadString(LPSTR pstr, UINT nMax) {
  if (pstr == nullptr || nMax == 0) return nullptr;
  UINT stored = 0;
  while (stored + 1 < nMax && Fill()) {
    char c = m_buffer[m_bufferPos++];
    pstr[stored++] = c;
    if (c == '\n') break;
  }
  pstr[stored] = '\0';
  return stored > 0 ? pstr : nullptr;
}

UINT CStdioFile::Read(void* lpBuf, UINT nCount) {
  UINT done = 0;
  auto* out = static_cast<BYTE*>(lpBuf);
  while (done < nCount && Fill()) {
    size_t n = std::min<size_t>(nCount - done, m_buffer.size() - m_bufferPos);
    std::memcpy(out + done, m_buffer.data() + m_bufferPos, n);
    m_bufferPos += n;
    done += static_cast<UINT>(n);
  }
  return done;
}

BOOL CStdioFile::SetReadBufferSize(UINT nReadSize) {
  if (nReadSize == 0) return FALSE;
  m_readSize = nReadSize;
  return TRUE;
}

void CStdioFile::Close() {
  m_closed = true;
  m_buffer.clear();
  m_bufferPos = 0;
}

CInternetFile::~CInternetFile() { Close(); }

UINT CInternetFile::ReadRaw(BYTE* lpBuf, UINT nCount) {
  if (!m_hFile) return 0;
  DWORD got = 0;
  if (!InternetReadFile(m_hFile, lpBuf, nCount, &got)) return 0;
  return got;
}

// The connection goes back to the pool only when the whole body was read.
void CInternetFile::Close() {
  CStdioFile::Close();
  if (m_hFile) InternetCloseHandle(m_hFile);
  m_hFile = nullptr;
}

CInternetSession::CInternetSession(LPCSTR pstrAgent, DWORD_PTR dwContext, DWORD dwAccessType, LPCSTR pstrProxyName,
                                   LPCSTR pstrProxyBypass, DWORD dwFlags)
    : m_dwContext(dwContext),
      m_hSession(
          InternetOpenA(pstrAgent ? pstrAgent : "NorvoSMS", dwAccessType, pstrProxyName, pstrProxyBypass, dwFlags)) {}

CInternetSession::~CInternetSession() { Close(); }

void CInternetSession::Close() {
  if (m_hSession) InternetCloseHandle(m_hSession);
  m_hSession = nullptr;
}

// Like WinInet, any HTTP status opens the file: an error page is read as the body. The
// transfer-type flags only matter to FTP.
CStdioFile* CInternetSession::OpenURL(LPCSTR pstrURL, DWORD_PTR dwContext, DWORD dwFlags, LPCSTR pstrHeaders,
                                      DWORD dwHeadersLength) {
  DWORD_PTR context = dwContext ? dwContext : m_dwContext;
  if (!m_hSession) throw new CInternetException(ERROR_INTERNET_INCORRECT_HANDLE_STATE, context);
  if (pstrURL == nullptr || std::strstr(pstrURL, "://") == nullptr)
    throw new CInternetException(ERROR_INTERNET_INVALID_URL, context);
  if (!HasScheme(pstrURL, "http") && !HasScheme(pstrURL, "https")) return nullptr;
#ifdef _WIN32
  std::string body;
  DWORD error = FetchWithinLimits(m_hSession, pstrURL, dwFlags, pstrHeaders, dwHeadersLength, context, body);
  if (error != 0) throw new CInternetException(error, context);
  return new CAnswerFile(std::move(body));
#else
  DWORD headersLength = pstrHeaders && dwHeadersLength ? dwHeadersLength : static_cast<DWORD>(-1);
  HINTERNET file = InternetOpenUrlA(m_hSession, pstrURL, pstrHeaders, headersLength,
                                    dwFlags & ~(INTERNET_FLAG_TRANSFER_ASCII | INTERNET_FLAG_TRANSFER_BINARY), context);
  if (!file) throw new CInternetException(GetLastError(), context);
  return new CInternetFile(file);
#endif
}
