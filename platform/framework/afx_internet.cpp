// The framework's Internet session on the WinInet functions, so that the manifest is read
// through the same connections, limits and TLS policy as every other request.
#include <afxinet.h>
#include <winerror.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "../src/ascii_case.h"

namespace {

// The scheme compared without regard to ASCII case, then "://".
bool HasScheme(const char* url, const char* scheme) {
  const std::string_view text(url);
  const std::size_t n = std::strlen(scheme);
  return platform_ascii::StartsWithNoCase(text, scheme) && text.substr(n, 3) == "://";
}

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
  DWORD headersLength = pstrHeaders && dwHeadersLength ? dwHeadersLength : static_cast<DWORD>(-1);
  HINTERNET file = InternetOpenUrlA(m_hSession, pstrURL, pstrHeaders, headersLength,
                                    dwFlags & ~(INTERNET_FLAG_TRANSFER_ASCII | INTERNET_FLAG_TRANSFER_BINARY), context);
  if (!file) throw new CInternetException(GetLastError(), context);
  return new CInternetFile(file);
}
