// Certificate checks and trusted stores for WinInet's TLS connections, on OpenSSL.
#include "tls_trust.h"

#include <wininet.h>

#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace tls_trust {
namespace {

int CtxIndex() {
  static int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

DWORD CertErrorCode(int x509Error) {
  switch (x509Error) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED: return ERROR_INTERNET_INVALID_CA;
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD:
    case X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD: return ERROR_INTERNET_SEC_CERT_DATE_INVALID;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH: return ERROR_INTERNET_SEC_CERT_CN_INVALID;
    case X509_V_ERR_CERT_REVOKED: return ERROR_INTERNET_SEC_CERT_REVOKED;
    default: return ERROR_INTERNET_SEC_INVALID_CERT;
  }
}

bool Ignored(DWORD code, int x509Error, DWORD securityFlags) {
  switch (code) {
    case ERROR_INTERNET_INVALID_CA: return securityFlags & SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID: return securityFlags & SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
    case ERROR_INTERNET_SEC_CERT_CN_INVALID: return securityFlags & SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
    default: return x509Error == X509_V_ERR_INVALID_PURPOSE && (securityFlags & SECURITY_FLAG_IGNORE_WRONG_USAGE);
  }
}

// Re-reading the whole system bundle for every connection would be most of a call's CPU, so
// the store is built once per process for each NORVOSMS_CA_FILE and rebuilt when that file or
// the bundle changes (path, inode, size, modification time).
struct TrustedStores {
  std::mutex lock;
  std::map<std::string, std::pair<std::string, X509_STORE*>> byCaFile;  // CA file -> stamp, store
  // The system's files change with a system update, not between two calls: looked at again
  // at most once a second.
  std::string systemStamp;
  std::chrono::steady_clock::time_point systemCheckedAt;
};

TrustedStores& Stores() {
  static TrustedStores* stores = new TrustedStores;  // never destroyed: connections may still hold the stores at exit
  return *stores;
}

std::string FileStamp(const std::string& path) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0) return path + "|-";
  return path + "|" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) +
         ":" + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
}

// The extra authorities' file, read without ever waiting on it (a FIFO or device is not read);
// empty when it cannot be read. The library above names such a file's faults before any call.
std::string ReadCaFile(const std::string& path) {
  constexpr off_t kMaxBytes = 16 * 1024 * 1024;
  std::string text;
  int fd = path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return text;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxBytes) {
    text.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < text.size()) {
      ssize_t n = ::read(fd, &text[got], text.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    text.resize(got);
  }
  ::close(fd);
  return text;
}

// Adds the certificates of a PEM text to the store.
void AddPemCertificates(X509_STORE* store, const std::string& pem) {
  if (pem.empty()) return;
  BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
  if (!bio) return;
  while (X509* cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr)) {
    X509_STORE_add_cert(store, cert);
    X509_free(cert);
  }
  BIO_free(bio);
  ERR_clear_error();  // the end of the text reads as an error
}

// What the TLS library itself would put in the store, plus the extra authorities; null when
// the system part does not load, so that the library loads it and reports the failure itself.
X509_STORE* BuildStore(const SystemAuthorities& system, const std::string& caFile) {
  X509_STORE* store = X509_STORE_new();
  if (!store) return nullptr;
  if ((!system.bundle.empty() && X509_STORE_load_file(store, system.bundle.c_str()) != 1) ||
      (!system.folder.empty() && X509_STORE_load_path(store, system.folder.c_str()) != 1)) {
    X509_STORE_free(store);
    ERR_clear_error();
    return nullptr;
  }
  AddPemCertificates(store, ReadCaFile(caFile));
  X509_STORE_set_flags(store, X509_V_FLAG_TRUSTED_FIRST | X509_V_FLAG_PARTIAL_CHAIN);
  return store;
}

// A reference the caller frees with X509_STORE_free, or null to let the TLS library load the
// files.
X509_STORE* TrustedStore(const CaFile& caFile, const SystemAuthorities& system) {
  if (system.bundle.empty() && system.folder.empty()) return nullptr;
  TrustedStores& stores = Stores();
  std::lock_guard<std::mutex> guard(stores.lock);
  auto now = std::chrono::steady_clock::now();
  if (stores.systemStamp.empty() || now - stores.systemCheckedAt >= std::chrono::seconds(1)) {
    stores.systemStamp = FileStamp(system.bundle) + "|" + FileStamp(system.folder);
    stores.systemCheckedAt = now;
  }
  std::string stamp = stores.systemStamp + "|" + caFile.stamp;
  auto it = stores.byCaFile.find(caFile.path);
  if (it == stores.byCaFile.end() || it->second.first != stamp) {
    X509_STORE* built = BuildStore(system, caFile.path);
    if (!built) return nullptr;
    if (it != stores.byCaFile.end()) {
      X509_STORE_free(it->second.second);  // connections still using it keep their own reference
      it->second = {stamp, built};
    } else {
      it = stores.byCaFile.emplace(caFile.path, std::make_pair(stamp, built)).first;
    }
  }
  X509_STORE_up_ref(it->second.second);
  return it->second.second;
}

}  // namespace

CaFile CaFile::Now() {
  const char* path = std::getenv("NORVOSMS_CA_FILE");
  CaFile file;
  file.path = path ? path : "";
  file.stamp = FileStamp(file.path);
  return file;
}

ConnectionTrust::ConnectionTrust(DWORD securityFlags, const std::string& host, const CaFile& caFile,
                                 const SystemAuthorities& system)
    : m_securityFlags(securityFlags), m_host(host), m_store(TrustedStore(caFile, system)) {}

ConnectionTrust::~ConnectionTrust() {
  if (m_ctx) {
    // The connection may outlive this transfer in the pool; a later handshake on it (a
    // renegotiation) then finds no trust and fails instead of reaching a freed one.
    if (SSL_CTX_get_ex_data(m_ctx, CtxIndex()) == this) SSL_CTX_set_ex_data(m_ctx, CtxIndex(), nullptr);
    SSL_CTX_free(m_ctx);
  }
  if (m_store) X509_STORE_free(m_store);
}

// The trusted store, and the host name checked by OpenSSL so that a name mismatch is told
// apart from an unknown authority.
void ConnectionTrust::SetUp(SSL_CTX* ctx) {
  if (ctx != m_ctx) {
    if (m_ctx) SSL_CTX_free(m_ctx);
    SSL_CTX_up_ref(ctx);
    m_ctx = ctx;
  }
  SSL_CTX_set_ex_data(ctx, CtxIndex(), this);
  if (m_store) {
    SSL_CTX_set1_cert_store(ctx, m_store);
  } else {
    // The TLS library has loaded the system's files; the extra authorities join them here.
    const char* caFile = std::getenv("NORVOSMS_CA_FILE");
    if (caFile && *caFile) AddPemCertificates(SSL_CTX_get_cert_store(ctx), ReadCaFile(caFile));
  }
  X509_VERIFY_PARAM* param = SSL_CTX_get0_param(ctx);
  // A floor of its own, whatever the system's OpenSSL policy allows.
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  if (X509_VERIFY_PARAM_set1_ip_asc(param, m_host.c_str()) != 1) {
    X509_VERIFY_PARAM_set1_host(param, m_host.c_str(), 0);
    ERR_clear_error();
  }
  SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, Verify);
}

int ConnectionTrust::Verify(int preverified, X509_STORE_CTX* store) {
  if (preverified) return 1;
  SSL* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  auto* trust = ssl ? static_cast<ConnectionTrust*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), CtxIndex())) : nullptr;
  if (!trust) return 0;
  int error = X509_STORE_CTX_get_error(store);
  DWORD code = CertErrorCode(error);
  if (Ignored(code, error, trust->m_securityFlags)) {
    X509_STORE_CTX_set_error(store, X509_V_OK);
    return 1;
  }
  if (!trust->m_certError) trust->m_certError = code;
  return 0;
}

}  // namespace tls_trust
