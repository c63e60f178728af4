// CryptoAPI on OpenSSL 3: MD5 hash objects and RC2 keys (CBC, PKCS #5 padding, zero IV),
// in a library context of our own that loads the legacy provider (RC2 lives there) and the
// default one, so the rest of the process keeps OpenSSL's usual providers.
#include <wincrypt.h>

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/provider.h>
#include <strings.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "handle_table.h"

namespace {

constexpr DWORD kRc2BlockSize = 8;
constexpr DWORD kMd5Size = 16;
constexpr DWORD kDefaultRc2KeyBits = 128;
constexpr DWORD kKnownAcquireFlags = CRYPT_VERIFYCONTEXT | CRYPT_NEWKEYSET | CRYPT_SILENT | 0x20u /* machine keyset */;

struct Libraries {
  OSSL_LIB_CTX* ctx = nullptr;
  EVP_MD* md5 = nullptr;
  EVP_CIPHER* rc2 = nullptr;
};

const Libraries& Openssl() {
  static Libraries libs;
  static std::once_flag once;
  std::call_once(once, [] {
    libs.ctx = OSSL_LIB_CTX_new();
    if (!libs.ctx) return;
    OSSL_PROVIDER_load(libs.ctx, "legacy");
    OSSL_PROVIDER_load(libs.ctx, "default");
    libs.md5 = EVP_MD_fetch(libs.ctx, "MD5", nullptr);
    libs.rc2 = EVP_CIPHER_fetch(libs.ctx, "RC2-CBC", nullptr);
  });
  return libs;
}

struct CipherCtxFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
struct MdCtxFree {
  void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

struct Provider {};

struct Hash {
  std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx;
  bool finished = false;
  unsigned char digest[kMd5Size] = {};
};

struct Key {
  std::vector<unsigned char> bytes;
  // The running chain of a multi-call encryption or decryption; reset by the final call.
  std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree> chain;
  int chainDirection = -1;  // 1 encrypting, 0 decrypting
};

std::mutex g_mutex;
ULONG_PTR g_nextHandle = 0x100;
norvosms::platform::HandleTable<ULONG_PTR, std::unique_ptr<Provider>> g_providers;
norvosms::platform::HandleTable<ULONG_PTR, std::unique_ptr<Hash>> g_hashes;
norvosms::platform::HandleTable<ULONG_PTR, std::unique_ptr<Key>> g_keys;

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

bool FinishHash(Hash& hash) {
  if (hash.finished) return true;
  unsigned int size = 0;
  if (EVP_DigestFinal_ex(hash.ctx.get(), hash.digest, &size) != 1 || size != kMd5Size) return false;
  hash.finished = true;
  return true;
}

// Starts a CBC chain with the key and a zero IV; padding is done here, not by OpenSSL,
// so a chain can run over several calls.
EVP_CIPHER_CTX* Chain(Key& key, int direction) {
  if (key.chain && key.chainDirection == direction) return key.chain.get();
  const Libraries& libs = Openssl();
  if (!libs.rc2) return nullptr;
  std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree> ctx(EVP_CIPHER_CTX_new());
  if (!ctx) return nullptr;
  size_t keyLength = key.bytes.size();
  unsigned int effectiveBits = static_cast<unsigned int>(keyLength * 8);
  OSSL_PARAM params[] = {OSSL_PARAM_construct_size_t(OSSL_CIPHER_PARAM_KEYLEN, &keyLength),
                         OSSL_PARAM_construct_uint(OSSL_CIPHER_PARAM_RC2_KEYBITS, &effectiveBits),
                         OSSL_PARAM_construct_end()};
  const unsigned char iv[kRc2BlockSize] = {};
  if (EVP_CipherInit_ex2(ctx.get(), libs.rc2, nullptr, nullptr, direction, params) != 1 ||
      EVP_CipherInit_ex2(ctx.get(), nullptr, key.bytes.data(), iv, direction, nullptr) != 1 ||
      EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1)
    return nullptr;
  key.chain = std::move(ctx);
  key.chainDirection = direction;
  return key.chain.get();
}

bool RunChain(EVP_CIPHER_CTX* ctx, unsigned char* data, DWORD length) {
  if (length == 0) return true;
  std::vector<unsigned char> out(length + kRc2BlockSize);
  int written = 0;
  if (EVP_CipherUpdate(ctx, out.data(), &written, data, static_cast<int>(length)) != 1 ||
      written != static_cast<int>(length))
    return false;
  std::memcpy(data, out.data(), length);
  return true;
}

bool KnownProvider(LPCSTR name) {
  return !name || strcasecmp(name, MS_ENH_RSA_AES_PROV_A) == 0 ||
         strcasecmp(name, "Microsoft Enhanced RSA and AES Cryptographic Provider (Prototype)") == 0;
}

}  // namespace

// In memory: every user has the provider's default key container, so any container name is
// found; there are no stored key pairs.
extern "C" BOOL WINAPI CryptAcquireContextA(HCRYPTPROV* phProv, LPCSTR szContainer, LPCSTR szProvider, DWORD dwProvType,
                                            DWORD dwFlags) {
  (void)szContainer;
  if (!phProv) return Fail(ERROR_INVALID_PARAMETER);
  *phProv = 0;
  if (dwFlags & ~kKnownAcquireFlags) return Fail(NTE_BAD_FLAGS);
  if (!KnownProvider(szProvider)) return Fail(NTE_KEYSET_NOT_DEF);
  if (dwProvType != PROV_RSA_AES) return Fail(szProvider ? NTE_PROV_TYPE_NOT_DEF : NTE_BAD_PROV_TYPE);
  if (!Openssl().md5) return Fail(NTE_FAIL);
  std::lock_guard<std::mutex> lock(g_mutex);
  ULONG_PTR handle = g_nextHandle++;
  g_providers.Add(handle, std::make_unique<Provider>());
  *phProv = handle;
  return TRUE;
}

// Frees the context; hashes and keys made from it stay usable until destroyed.
extern "C" BOOL WINAPI CryptReleaseContext(HCRYPTPROV hProv, DWORD dwFlags) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_providers.Remove(hProv)) return Fail(ERROR_INVALID_HANDLE);
  if (dwFlags) return Fail(NTE_BAD_FLAGS);
  return TRUE;
}

// On EVP MD5; no other algorithm.
// Windows' provider for the saved key's cipher; the library's own MD5 (api/md5.cpp) makes the token.
extern "C" BOOL WINAPI CryptCreateHash(HCRYPTPROV hProv, ALG_ID Algid, HCRYPTKEY hKey, DWORD dwFlags,
                                       HCRYPTHASH* phHash) {
  if (!phHash) return Fail(ERROR_INVALID_PARAMETER);
  *phHash = 0;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_providers.Find(hProv)) return Fail(NTE_BAD_UID);
  if (Algid != CALG_MD5) return Fail(NTE_BAD_ALGID);
  if (hKey) return Fail(NTE_BAD_KEY);
  if (dwFlags) return Fail(NTE_BAD_FLAGS);
  auto hash = std::make_unique<Hash>();
  hash->ctx.reset(EVP_MD_CTX_new());
  if (!hash->ctx || EVP_DigestInit_ex(hash->ctx.get(), Openssl().md5, nullptr) != 1) return Fail(NTE_FAIL);
  ULONG_PTR handle = g_nextHandle++;
  g_hashes.Add(handle, std::move(hash));
  *phHash = handle;
  return TRUE;
}

// On EVP_DigestUpdate; a hash whose value was taken takes no more data.
extern "C" BOOL WINAPI CryptHashData(HCRYPTHASH hHash, const BYTE* pbData, DWORD dwDataLen, DWORD dwFlags) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Hash* hash = g_hashes.Find(hHash);
  if (!hash) return Fail(NTE_BAD_HASH);
  if (dwFlags) return Fail(NTE_BAD_FLAGS);
  if (hash->finished) return Fail(NTE_BAD_HASH_STATE);
  if (dwDataLen && !pbData) return Fail(ERROR_INVALID_PARAMETER);
  if (dwDataLen && EVP_DigestUpdate(hash->ctx.get(), pbData, dwDataLen) != 1) return Fail(NTE_FAIL);
  return TRUE;
}

// HP_ALGID, HP_HASHSIZE and HP_HASHVAL; sizes and ERROR_MORE_DATA as on Windows.
extern "C" BOOL WINAPI CryptGetHashParam(HCRYPTHASH hHash, DWORD dwParam, BYTE* pbData, DWORD* pdwDataLen,
                                         DWORD dwFlags) {
  if (!pdwDataLen) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard<std::mutex> lock(g_mutex);
  Hash* hash = g_hashes.Find(hHash);
  if (!hash) return Fail(NTE_BAD_HASH);
  if (dwFlags) return Fail(NTE_BAD_FLAGS);
  BYTE value[kMd5Size];
  DWORD size = 0;
  if (dwParam == HP_ALGID || dwParam == HP_HASHSIZE) {
    DWORD number = dwParam == HP_ALGID ? CALG_MD5 : kMd5Size;
    std::memcpy(value, &number, sizeof number);
    size = sizeof number;
  } else if (dwParam == HP_HASHVAL) {
    if (!FinishHash(*hash)) return Fail(NTE_FAIL);
    std::memcpy(value, hash->digest, kMd5Size);
    size = kMd5Size;
  } else {
    return Fail(NTE_BAD_TYPE);
  }
  if (!pbData) {
    *pdwDataLen = size;
    return TRUE;
  }
  if (*pdwDataLen < size) {
    *pdwDataLen = size;
    return Fail(ERROR_MORE_DATA);
  }
  std::memcpy(pbData, value, size);
  *pdwDataLen = size;
  return TRUE;
}

extern "C" BOOL WINAPI CryptDestroyHash(HCRYPTHASH hHash) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_hashes.Remove(hHash)) return Fail(NTE_BAD_HASH);
  return TRUE;
}

// RC2 only. The key is the leading bytes of the MD5 value, 128 bits unless the upper 16 bits
// of the flags ask for 40 to 128; the effective key length equals the key length, no salt.
extern "C" BOOL WINAPI CryptDeriveKey(HCRYPTPROV hProv, ALG_ID Algid, HCRYPTHASH hBaseData, DWORD dwFlags,
                                      HCRYPTKEY* phKey) {
  if (!phKey) return Fail(ERROR_INVALID_PARAMETER);
  *phKey = 0;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_providers.Find(hProv)) return Fail(NTE_BAD_UID);
  Hash* hash = g_hashes.Find(hBaseData);
  if (!hash) return Fail(NTE_BAD_HASH);
  if (Algid != CALG_RC2) return Fail(NTE_BAD_ALGID);
  DWORD bits = dwFlags >> 16;
  if (bits == 0) bits = kDefaultRc2KeyBits;
  if (bits < 40 || bits > 128 || bits % 8) return Fail(NTE_BAD_FLAGS);
  if (!Openssl().rc2) return Fail(NTE_BAD_ALGID);
  if (!FinishHash(*hash)) return Fail(NTE_FAIL);
  auto key = std::make_unique<Key>();
  key->bytes.assign(hash->digest, hash->digest + bits / 8);
  ULONG_PTR handle = g_nextHandle++;
  g_keys.Add(handle, std::move(key));
  *phKey = handle;
  return TRUE;
}

extern "C" BOOL WINAPI CryptDestroyKey(HCRYPTKEY hKey) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_keys.Remove(hKey)) return Fail(NTE_BAD_KEY);
  return TRUE;
}

// On EVP RC2-CBC with our own PKCS #5 padding. A null buffer asks for the size; a buffer of
// too little capacity gives ERROR_MORE_DATA and the size, leaving the data as it was.
extern "C" BOOL WINAPI CryptEncrypt(HCRYPTKEY hKey, HCRYPTHASH hHash, BOOL Final, DWORD dwFlags, BYTE* pbData,
                                    DWORD* pdwDataLen, DWORD dwBufLen) {
  if (!pdwDataLen) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard<std::mutex> lock(g_mutex);
  Key* key = g_keys.Find(hKey);
  if (!key) return Fail(NTE_BAD_KEY);
  if (hHash) return Fail(NTE_BAD_HASH);
  if (dwFlags) return Fail(NTE_BAD_FLAGS);
  DWORD length = *pdwDataLen;
  if (!Final && length % kRc2BlockSize) return Fail(NTE_BAD_DATA);
  if (length > 0xFFFFFFFFu - kRc2BlockSize) return Fail(NTE_BAD_LEN);
  DWORD needed = Final ? (length / kRc2BlockSize + 1) * kRc2BlockSize : length;
  if (!pbData) {
    *pdwDataLen = needed;
    return TRUE;
  }
  if (dwBufLen < needed) {
    *pdwDataLen = needed;
    return Fail(ERROR_MORE_DATA);
  }
  EVP_CIPHER_CTX* ctx = Chain(*key, 1);
  if (!ctx) return Fail(NTE_FAIL);
  BYTE pad = static_cast<BYTE>(needed - length);
  if (Final) std::memset(pbData + length, pad, pad);
  bool ok = RunChain(ctx, pbData, needed);
  if (Final || !ok) key->chain.reset();
  if (!ok) return Fail(NTE_FAIL);
  *pdwDataLen = needed;
  return TRUE;
}

// On EVP RC2-CBC; the final call checks and strips the padding, and a wrong key or damaged
// data (bad padding, not whole blocks) fails with NTE_BAD_DATA and leaves the buffer as it was.
extern "C" BOOL WINAPI CryptDecrypt(HCRYPTKEY hKey, HCRYPTHASH hHash, BOOL Final, DWORD dwFlags, BYTE* pbData,
                                    DWORD* pdwDataLen) {
  if (!pdwDataLen) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard<std::mutex> lock(g_mutex);
  Key* key = g_keys.Find(hKey);
  if (!key) return Fail(NTE_BAD_KEY);
  if (hHash) return Fail(NTE_BAD_HASH);
  if (dwFlags) return Fail(NTE_BAD_FLAGS);
  DWORD length = *pdwDataLen;
  if (length % kRc2BlockSize || (Final && length == 0) || (length && !pbData)) {
    if (Final) key->chain.reset();
    return Fail(NTE_BAD_DATA);
  }
  EVP_CIPHER_CTX* ctx = Chain(*key, 0);
  if (!ctx) return Fail(NTE_FAIL);
  std::vector<BYTE> plain(pbData, pbData + length);
  bool ok = RunChain(ctx, plain.data(), length);
  DWORD outLength = length;
  if (ok && Final) {
    BYTE pad = plain[length - 1];
    ok = pad >= 1 && pad <= kRc2BlockSize;
    for (DWORD i = 0; ok && i < pad; ++i) ok = plain[length - 1 - i] == pad;
    outLength = length - pad;
  }
  if (Final || !ok) key->chain.reset();
  if (!ok) return Fail(NTE_BAD_DATA);
  if (outLength) std::memcpy(pbData, plain.data(), outLength);
  *pdwDataLen = outLength;
  return TRUE;
}
