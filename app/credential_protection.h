// The saved API key's protection: an RC2 key derived from this machine's first adapter's
// hardware address, so a saved key decrypts only where it was saved.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <optional>
#include <string>
#include <vector>

// The working buffer of one encryption: keys of at most 94 characters fit.
constexpr DWORD kCipherBufferSize = 100;
// The first adapter query's buffer: room for five adapter records.
constexpr ULONG kAdapterBufferSize = 3240;

// "00.1A.2B.3C.4D.5E" for the first adapter, or "Error : <code> " when the query fails.
std::string GetMacAddress();

// The handles of one derivation; zero where a step failed.
struct MachineKey {
  HCRYPTPROV hProv = 0;
  HCRYPTKEY hKey = 0;
};

// Provider, MD5 of the identity text, RC2 key. Each failing step shows its message and the
// next step still runs.
MachineKey DeriveMachineKey();
void ReleaseMachineKey(MachineKey& key);

// The cipher bytes of the text and its terminating zero; empty (after "암호화 실패!") when
// it cannot be encrypted.
std::vector<BYTE> EncryptText(const char* text);

// The key text decrypted from "bApiKey" of section "Settings"; nothing when that value is
// absent or empty, or (after "CryptDecrypt 호출 실패!") when it does not decrypt here.
std::optional<std::string> LoadStoredApiKey();
