#include "updater/registry_key.h"

#include <algorithm>
#include <vector>

bool RegistryKey::Open(const std::string& keyPath, bool machineWide) {
  Close();
  HKEY root = machineWide ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  HKEY key = nullptr;
  LSTATUS status = RegOpenKeyExA(root, keyPath.c_str(), 0, kRecordAccess, &key);
  // The record is only read: a user who may not write the machine's key still gets to read it.
  if (status == ERROR_ACCESS_DENIED) status = RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, &key);
  if (status != ERROR_SUCCESS) return false;
  m_hKey = key;
  return true;
}

bool RegistryKey::QueryString(const char* valueName, std::string& value, DWORD maxBytes) {
  if (m_hKey == nullptr || maxBytes == 0) return false;
  std::vector<BYTE> buffer(maxBytes + 1, 0);
  DWORD type = REG_NONE;
  DWORD size = maxBytes;
  if (RegQueryValueExA(m_hKey, valueName, nullptr, &type, buffer.data(), &size) != ERROR_SUCCESS) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  buffer[std::min<DWORD>(size, maxBytes)] = 0;  // a stored value need not end in a zero
  value = reinterpret_cast<const char*>(buffer.data());
  return true;
}

bool RegistryKey::QueryDword(const char* valueName, DWORD& value) {
  if (m_hKey == nullptr) return false;
  DWORD type = REG_NONE;
  DWORD data = 0;
  DWORD size = sizeof data;
  if (RegQueryValueExA(m_hKey, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS)
    return false;
  if (type != REG_DWORD || size != sizeof data) return false;
  value = data;
  return true;
}

void RegistryKey::Close() {
  if (m_hKey != nullptr) RegCloseKey(m_hKey);
  m_hKey = nullptr;
}
