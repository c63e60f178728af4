// The application framework's Internet classes that the update check uses, on the WinInet
// functions as the framework itself is: a session that opens an address and hands back a file
// to read line by line; CInternetException when the server cannot be reached. One source for
// both builds: the Linux one on the platform layer's WinInet, the Windows one on the system's.
#pragma once

#include <windows.h>
#include <wininet.h>

#ifndef PRE_CONFIG_INTERNET_ACCESS
#define PRE_CONFIG_INTERNET_ACCESS INTERNET_OPEN_TYPE_PRECONFIG
#endif
#ifndef INTERNET_FLAG_TRANSFER_ASCII
#define INTERNET_FLAG_TRANSFER_ASCII 0x00000001
#endif
#ifndef INTERNET_FLAG_TRANSFER_BINARY
#define INTERNET_FLAG_TRANSFER_BINARY 0x00000002
#endif

#include <string>

// Thrown by pointer, as the framework does: catch (CInternetException* e) { ...; e->Delete(); }
class CInternetException {
 public:
  CInternetException(DWORD dwError, DWORD_PTR dwContext) : m_dwError(dwError), m_dwContext(dwContext) {}
  void Delete() { delete this; }

  DWORD m_dwError;
  DWORD_PTR m_dwContext;
};

// A file opened by CInternetSession::OpenURL.
class CStdioFile {
 public:
  virtual ~CStdioFile() = default;
  CStdioFile(const CStdioFile&) = delete;
  CStdioFile& operator=(const CStdioFile&) = delete;

  // Reads up to nMax - 1 bytes, stopping after a '\n' (which is kept), and ends the text with a
  // zero; null when nothing is left.
  LPSTR ReadString(LPSTR pstr, UINT nMax);
  UINT Read(void* lpBuf, UINT nCount);
  // The size of the chunk taken from the connection at a time; at least 1.
  BOOL SetReadBufferSize(UINT nReadSize);
  virtual void Close();

 protected:
  CStdioFile() = default;
  // Hands out up to nCount bytes of the body; 0 at the end.
  virtual UINT ReadRaw(BYTE* lpBuf, UINT nCount) = 0;

 private:
  bool Fill();

  std::string m_buffer;
  size_t m_bufferPos = 0;
  UINT m_readSize = 4096;
  bool m_closed = false;
};

// The body of an answer, read from its WinInet request handle.
class CInternetFile : public CStdioFile {
 public:
  explicit CInternetFile(HINTERNET hFile) : m_hFile(hFile) {}
  ~CInternetFile() override;
  void Close() override;

 protected:
  // A failure while reading ends the file early.
  UINT ReadRaw(BYTE* lpBuf, UINT nCount) override;

 private:
  HINTERNET m_hFile;
};

class CInternetSession {
 public:
  explicit CInternetSession(LPCSTR pstrAgent = nullptr, DWORD_PTR dwContext = 1,
                            DWORD dwAccessType = PRE_CONFIG_INTERNET_ACCESS, LPCSTR pstrProxyName = nullptr,
                            LPCSTR pstrProxyBypass = nullptr, DWORD dwFlags = 0);
  virtual ~CInternetSession();
  CInternetSession(const CInternetSession&) = delete;
  CInternetSession& operator=(const CInternetSession&) = delete;

  // http and https addresses; throws CInternetException* when the address is malformed or the
  // server cannot be reached; null for schemes it does not serve. The caller deletes the file.
  CStdioFile* OpenURL(LPCSTR pstrURL, DWORD_PTR dwContext = 1, DWORD dwFlags = INTERNET_FLAG_TRANSFER_ASCII,
                      LPCSTR pstrHeaders = nullptr, DWORD dwHeadersLength = 0);
  void Close();

 private:
  DWORD_PTR m_dwContext;
  HINTERNET m_hSession;
};
