// Puts a PEM certificate authority into the machine's "Root" store, so WinInet trusts servers
// it signed (under Wine: the sandbox's authority, before the tests that call it).
//   trust_certificate <ca.pem>
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: trust_certificate <ca.pem>\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream pem;
  pem << in.rdbuf();
  std::string text = pem.str();
  if (!in || text.empty() || text.size() > 65536) {
    std::fprintf(stderr, "trust_certificate: cannot read %s\n", argv[1]);
    return 1;
  }
  DWORD size = 0;
  if (!CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64HEADER, nullptr, &size,
                            nullptr, nullptr)) {
    std::fprintf(stderr, "trust_certificate: %s is not a PEM certificate\n", argv[1]);
    return 1;
  }
  std::vector<BYTE> der(size);
  CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64HEADER, der.data(), &size,
                       nullptr, nullptr);
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root");
  if (!store) {
    std::fprintf(stderr, "trust_certificate: cannot open the Root store (%lu)\n", GetLastError());
    return 1;
  }
  BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size,
                                                CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  DWORD error = GetLastError();
  CertCloseStore(store, 0);
  if (!added) {
    std::fprintf(stderr, "trust_certificate: cannot add the certificate (%lu)\n", error);
    return 1;
  }
  return 0;
}
