#include "tests/wire/wire_token.h"

// <wincrypt.h> needs the types of <windows.h> first.
#include <windows.h>

#include <wincrypt.h>

#include <cstdio>

namespace {

std::string Md5Hex(const std::string& text) {
  std::string hex;
  HCRYPTPROV prov = 0;
  HCRYPTHASH hash = 0;
  if (!CryptAcquireContextA(&prov, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) return hex;
  if (CryptCreateHash(prov, CALG_MD5, 0, 0, &hash)) {
    BYTE digest[16];
    DWORD size = sizeof digest;
    if (CryptHashData(hash, reinterpret_cast<const BYTE*>(text.data()), static_cast<DWORD>(text.size()), 0) &&
        CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0) && size == sizeof digest) {
      char two[3];
      for (BYTE b : digest) {
        std::snprintf(two, sizeof two, "%02x", b);
        hex += two;
      }
    }
    CryptDestroyHash(hash);
  }
  CryptReleaseContext(prov, 0);
  return hex;
}

}  // namespace

bool IsTokenFor(const std::string& token, const std::string& apiKey) {
  if (token.size() != 40) return false;
  for (int i = 0; i < 8; ++i) {
    char c = token[i];
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return token.substr(8) == Md5Hex(token.substr(0, 8) + apiKey);
}

std::string WithToken(const std::string& expected, const std::string& actual, const std::string& apiKey) {
  std::size_t at = expected.find(kTokenMark);
  if (at == std::string::npos || actual.compare(0, at, expected, 0, at) != 0) return expected;
  std::string token = actual.substr(at, 40);
  if (!IsTokenFor(token, apiKey)) return expected;
  std::string out = expected;
  for (std::size_t p = 0; (p = out.find(kTokenMark, p)) != std::string::npos; p += token.size())
    out.replace(p, sizeof kTokenMark - 1, token);
  return out;
}
