// One open registry key of the installed program's record.
#pragma once

#include <windows.h>

#include <string>

class RegistryKey {
 public:
  // The rights the record key is asked for: KEY_READ, KEY_SET_VALUE and KEY_CREATE_SUB_KEY.
  static constexpr REGSAM kRecordAccess = 0x2001F;

  RegistryKey() = default;
  ~RegistryKey() { Close(); }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // Opens (never creates) the key under HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER.
  bool Open(const std::string& keyPath, bool machineWide);
  bool IsOpen() const { return m_hKey != nullptr; }
  // A null or empty name is the key's default value. Both leave the destination unchanged
  // when the value cannot be read.
  bool QueryString(const char* valueName, std::string& value, DWORD maxBytes);
  bool QueryDword(const char* valueName, DWORD& value);
  void Close();

 private:
  HKEY m_hKey = nullptr;
};
