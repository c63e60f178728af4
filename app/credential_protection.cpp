#include "app/credential_protection.h"

#include <iphlpapi.h>

#include <cstdio>
#include <cstring>

#include "app/norvosms_app.h"
#include "text/ansi_text.h"

namespace {

// The list may grow between two queries; a few rounds are enough.
constexpr int kAdapterQueryRounds = 4;

const char kMsgAcquire[] = "CryptAcquireContext 호출에러 발생!";
const char kMsgCreateHash[] = "해시 오브젝트 생성 실패!";
const char kMsgHashData[] = "CryptHashData 호출에러 발생!";
const char kMsgDeriveKey[] = "CryptDeriveKey 호출 실패!";
const char kMsgEncrypt[] = "암호화 실패!";
const char kMsgDecrypt[] = "CryptDecrypt 호출 실패!";

// The messages are kept in UTF-8 here and shown as ANSI code page bytes.
void ShowFailure(const char* utf8) { AfxMessageBox(AnsiText(utf8).c_str(), MB_OK); }

}  // namespace

// The buffer starts at five records; when the platform reports a larger need, it is asked
// again with that size, so a machine with many adapters still gets its own identity.
std::string GetMacAddress() {
  ULONG size = kAdapterBufferSize;
  DWORD result = ERROR_BUFFER_OVERFLOW;
  std::vector<IP_ADAPTER_INFO> records;
  for (int round = 0; round < kAdapterQueryRounds && result == ERROR_BUFFER_OVERFLOW; ++round) {
    records.assign(size / sizeof(IP_ADAPTER_INFO) + 1, IP_ADAPTER_INFO{});
    result = GetAdaptersInfo(records.data(), &size);
  }
  char text[32];
  if (result == ERROR_SUCCESS) {
    const BYTE* a = records.front().Address;
    std::snprintf(text, sizeof text, "%02X.%02X.%02X.%02X.%02X.%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
  } else {
    // The blanks are part of the identity text: it derives the key, so a change loses stored keys.
    std::snprintf(text, sizeof text, "Error : %d ", static_cast<int>(result));
  }
  return text;
}

MachineKey DeriveMachineKey() {
  MachineKey key;
  std::string identity = GetMacAddress();
  if (!CryptAcquireContextA(&key.hProv, nullptr, MS_ENH_RSA_AES_PROV_A, PROV_RSA_AES, 0)) ShowFailure(kMsgAcquire);
  HCRYPTHASH hash = 0;
  if (!CryptCreateHash(key.hProv, CALG_MD5, 0, 0, &hash)) ShowFailure(kMsgCreateHash);
  if (!CryptHashData(hash, reinterpret_cast<const BYTE*>(identity.data()), static_cast<DWORD>(identity.size()), 0))
    ShowFailure(kMsgHashData);
  if (!CryptDeriveKey(key.hProv, CALG_RC2, hash, CRYPT_EXPORTABLE, &key.hKey)) ShowFailure(kMsgDeriveKey);
  if (hash) CryptDestroyHash(hash);
  return key;
}

void ReleaseMachineKey(MachineKey& key) {
  if (key.hKey) CryptDestroyKey(key.hKey);
  if (key.hProv) CryptReleaseContext(key.hProv, 0);
  key = MachineKey{};
}

// A text too long for the working buffer is refused before it is copied there.
std::vector<BYTE> EncryptText(const char* text) {
  MachineKey key = DeriveMachineKey();
  std::vector<BYTE> cipher;
  std::size_t length = text ? std::strlen(text) : 0;
  BYTE buffer[kCipherBufferSize] = {};
  DWORD size = static_cast<DWORD>(length + 1);
  if (length < kCipherBufferSize) {
    if (length) std::memcpy(buffer, text, length);
    if (CryptEncrypt(key.hKey, 0, TRUE, 0, buffer, &size, kCipherBufferSize)) cipher.assign(buffer, buffer + size);
  }
  if (cipher.empty()) ShowFailure(kMsgEncrypt);
  ReleaseMachineKey(key);
  return cipher;
}

std::optional<std::string> LoadStoredApiKey() {
  CNorvoSMSApp* app = AfxGetApp();
  if (!app) return std::nullopt;
  LPBYTE block = nullptr;
  UINT length = 0;
  if (!app->GetProfileBinary("Settings", "bApiKey", &block, &length) || length == 0) {
    delete[] block;
    return std::nullopt;  // no stored key
  }
  MachineKey key = DeriveMachineKey();
  DWORD size = length;
  std::optional<std::string> text;
  if (CryptDecrypt(key.hKey, 0, TRUE, 0, block, &size)) {
    // The terminating zero was encrypted with the key; a block without one is read to its end.
    const void* zero = std::memchr(block, 0, size);
    std::size_t textLength = zero ? static_cast<std::size_t>(static_cast<const BYTE*>(zero) - block) : size;
    text = std::string(reinterpret_cast<const char*>(block), textLength);
  } else {
    ShowFailure(kMsgDecrypt);
  }
  ReleaseMachineKey(key);
  delete[] block;
  return text;
}
