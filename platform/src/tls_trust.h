// Whom a WinInet request's TLS connection trusts, on OpenSSL alone: the certificate checks with
// their WinInet error codes and security flags, and the per-process cache of trusted stores.
#pragma once

#include <windef.h>

#include <openssl/types.h>

#include <string>

namespace tls_trust {

// NORVOSMS_CA_FILE as a call finds it, and its stamp: looked at on every call, so that a
// changed file counts at once.
struct CaFile {
  std::string path;
  std::string stamp;
  static CaFile Now();
};

// Where the TLS library would look for the system's authorities; both empty when it has none.
struct SystemAuthorities {
  std::string bundle;
  std::string folder;
};

// The trust one connection is set up under: made for each transfer, it hands the SSL context
// its store, host-name check and verify callback, and keeps the first certificate error the
// security flags do not waive.
class ConnectionTrust {
 public:
  ConnectionTrust(DWORD securityFlags, const std::string& host, const CaFile& caFile, const SystemAuthorities& system);
  ~ConnectionTrust();
  ConnectionTrust(const ConnectionTrust&) = delete;
  ConnectionTrust& operator=(const ConnectionTrust&) = delete;

  // True when the cached store serves: the TLS library need load no files of its own.
  bool HasStore() const { return m_store != nullptr; }
  // Called as a new connection's SSL context is made.
  void SetUp(SSL_CTX* ctx);
  // The WinInet code of the first certificate fault not waived, else 0.
  DWORD CertificateError() const { return m_certError; }

 private:
  static int Verify(int preverified, X509_STORE_CTX* store);

  DWORD m_securityFlags;
  std::string m_host;  // the name the certificate must carry
  X509_STORE* m_store = nullptr;
  SSL_CTX* m_ctx = nullptr;  // the context that points back here, held until this trust ends
  DWORD m_certError = 0;
};

}  // namespace tls_trust
