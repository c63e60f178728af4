// The framework's Internet session on libcurl. OpenURL carries out the whole GET at once (the
// body is bounded) and the returned file then hands the body out in read-buffer-sized slices.
#include <afxinet.h>
#include <winerror.h>

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <strings.h>

namespace {

constexpr long kConnectTimeoutSeconds = 15;
constexpr long kTotalTimeoutSeconds = 60;
constexpr long kMaxRedirects = 10;
// A body longer than this is cut here; the file then ends early.
constexpr size_t kMaxBodyBytes = 8 * 1024 * 1024;

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t KeepBody(char* data, size_t size, size_t count, void* user) {
  auto* body = static_cast<std::string*>(user);
  size_t bytes = size * count;
  size_t room = kMaxBodyBytes - std::min(kMaxBodyBytes, body->size());
  body->append(data, std::min(bytes, room));
  return bytes;  // the excess is dropped, not an error
}

DWORD InternetErrorFor(CURLcode code) {
  switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL: return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_URL_MALFORMAT: return ERROR_INTERNET_INVALID_URL;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    case CURLE_SSL_CONNECT_ERROR: return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    case CURLE_PEER_FAILED_VERIFICATION: return ERROR_INTERNET_INVALID_CA;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR: return ERROR_INTERNET_CONNECTION_RESET;
    default: return ERROR_INTERNET_CONNECTION_ABORTED;
  }
}

// A fetched body, read from memory.
class CFetchedFile : public CInternetFile {
 public:
  explicit CFetchedFile(std::string body) : m_body(std::move(body)) {}

 protected:
  UINT ReadRaw(BYTE* lpBuf, UINT nCount) override {
    size_t n = std::min<size_t>(nCount, m_body.size() - m_pos);
    std::memcpy(lpBuf, m_body.data() + m_pos, n);
    m_pos += n;
    return static_cast<UINT>(n);
  }

 private:
  std::string m_body;
  size_t m_pos = 0;
};

bool HasScheme(const char* url, const char* scheme) {
  size_t n = std::strlen(scheme);
  return strncasecmp(url, scheme, n) == 0 && std::strncmp(url + n, "://", 3) == 0;
}

// Adds "Name: value" lines from a CR LF separated header block.
curl_slist* AddHeaderLines(curl_slist* list, const std::string& block) {
  size_t start = 0;
  while (start < block.size()) {
    size_t end = block.find_first_of("\r\n", start);
    if (end == std::string::npos) end = block.size();
    if (end > start) list = curl_slist_append(list, block.substr(start, end - start).c_str());
    start = end + 1;
  }
  return list;
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

// Only the access type is kept; libcurl's own proxy settings from the environment are the
// preconfigured ones.
CInternetSession::CInternetSession(LPCSTR pstrAgent, DWORD_PTR dwContext, DWORD dwAccessType,
                                   LPCSTR pstrProxyName, LPCSTR /*pstrProxyBypass*/, DWORD /*dwFlags*/)
    : m_agent(pstrAgent ? pstrAgent : "NorvoSMS"),
      m_dwContext(dwContext),
      m_dwAccessType(dwAccessType),
      m_proxy(pstrProxyName ? pstrProxyName : "") {
  InitCurlOnce();
}

CInternetSession::~CInternetSession() { Close(); }

void CInternetSession::Close() { m_open = false; }

// A GET with libcurl that follows redirects as WinInet does; INTERNET_FLAG_RELOAD asks every
// cache on the way for a fresh copy. The transfer-type flags only matter to FTP.
CStdioFile* CInternetSession::OpenURL(LPCSTR pstrURL, DWORD_PTR dwContext, DWORD dwFlags, LPCSTR pstrHeaders,
                                      DWORD dwHeadersLength) {
  DWORD_PTR context = dwContext ? dwContext : m_dwContext;
  if (!m_open) throw new CInternetException(ERROR_INTERNET_INCORRECT_HANDLE_STATE, context);
  if (pstrURL == nullptr || std::strstr(pstrURL, "://") == nullptr)
    throw new CInternetException(ERROR_INTERNET_INVALID_URL, context);
  if (!HasScheme(pstrURL, "http") && !HasScheme(pstrURL, "https")) return nullptr;

  CURL* curl = curl_easy_init();
  if (curl == nullptr) throw new CInternetException(ERROR_INTERNET_INTERNAL_ERROR, context);
  std::string body;
  curl_slist* headers = nullptr;
  if (dwFlags & INTERNET_FLAG_RELOAD) {
    headers = curl_slist_append(headers, "Cache-Control: no-cache");
    headers = curl_slist_append(headers, "Pragma: no-cache");
  }
  if (pstrHeaders != nullptr) {
    size_t length = (dwHeadersLength == 0 || dwHeadersLength == static_cast<DWORD>(-1))
                        ? std::strlen(pstrHeaders)
                        : std::min<size_t>(dwHeadersLength, std::strlen(pstrHeaders));
    headers = AddHeaderLines(headers, std::string(pstrHeaders, length));
  }
  curl_easy_setopt(curl, CURLOPT_URL, pstrURL);
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, m_agent.c_str());
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, kTotalTimeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, KeepBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  if (headers != nullptr) curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  if (m_dwAccessType == INTERNET_OPEN_TYPE_DIRECT) curl_easy_setopt(curl, CURLOPT_PROXY, "");
  if (m_dwAccessType == INTERNET_OPEN_TYPE_PROXY) curl_easy_setopt(curl, CURLOPT_PROXY, m_proxy.c_str());

  CURLcode code = curl_easy_perform(curl);
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  if (code != CURLE_OK) throw new CInternetException(InternetErrorFor(code), context);
  // Like WinInet, any HTTP status opens the file: an error page is read as the body.
  return new CFetchedFile(std::move(body));
}
