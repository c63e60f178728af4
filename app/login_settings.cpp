#include "app/login_settings.h"

#include <vector>

#include "app/credential_protection.h"
#include "app/norvosms_app.h"
#include "app/path_text.h"

namespace {

const char kSection[] = "Settings";

bool StoredKeyPresent(CNorvoSMSApp& app) {
  LPBYTE block = nullptr;
  UINT length = 0;
  app.GetProfileBinary(kSection, "bApiKey", &block, &length);
  delete[] block;
  return length > 0;
}

}  // namespace

LoginSettings ReadLoginSettings(CNorvoSMSApp& app) {
  LoginSettings settings;
  settings.sEditID = app.GetProfileString(kSection, "m_sEditID", "");

  std::string clearKey = app.GetProfileString(kSection, "m_sApiKey", "");
  if (!clearKey.empty()) {
    std::vector<BYTE> cipher = EncryptText(clearKey.c_str());
    // Emptied only once the cipher text is stored, so a failed encryption loses no key.
    if (!cipher.empty() && app.WriteProfileBinary(kSection, "bApiKey", cipher.data(), static_cast<UINT>(cipher.size())))
      app.WriteProfileString(kSection, "m_sApiKey", "");
  }

  settings.bStoredKey = StoredKeyPresent(app);

  settings.sFirstLogin = app.GetProfileString(kSection, "m_sFirstLogin", "");
  settings.sEnc = app.GetProfileString(kSection, "m_bEnc", "0");
  return settings;
}

void SaveLoginSettings(CNorvoSMSApp& app, const std::string& id, const std::string& key, bool saveId, bool saveKey,
                       const std::string& firstLoginAtOpen) {
  app.WriteProfileString("NorvoSendSMS", "", GetProgramFolder().c_str());
  app.WriteProfileString(kSection, "m_sEditID", saveId ? id.c_str() : "");
  if (!saveKey) {
    app.WriteProfileBinary(kSection, "bApiKey", nullptr, 0);
  } else if (!key.empty() || !StoredKeyPresent(app)) {
    std::vector<BYTE> cipher = EncryptText(key.c_str());
    app.WriteProfileBinary(kSection, "bApiKey", cipher.data(), static_cast<UINT>(cipher.size()));
  }
  if (saveId && firstLoginAtOpen.empty()) app.WriteProfileString(kSection, "m_sFirstLogin", "NotFirst");
}
