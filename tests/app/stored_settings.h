// Reads what the program stored, straight from its settings, for the tests to compare.
#pragma once

#include <windows.h>

#include <vector>

#include "app/norvosms_app.h"

// The binary entry of the "Settings" section; empty when it is absent or empty.
inline std::vector<BYTE> StoredProfileBinary(const char* entry) {
  LPBYTE data = nullptr;
  UINT size = 0;
  std::vector<BYTE> out;
  if (theApp.GetProfileBinary("Settings", entry, &data, &size)) out.assign(data, data + size);
  delete[] data;
  return out;
}
