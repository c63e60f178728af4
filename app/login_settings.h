// The settings the login dialog reads when it opens and writes on OK.
#pragma once

#include <string>

class CNorvoSMSApp;

struct LoginSettings {
  std::string sEditID;      // "m_sEditID", empty when absent
  bool bStoredKey = false;  // "bApiKey" present with a length above 0
  std::string sFirstLogin;  // "m_sFirstLogin": empty or "NotFirst"
  std::string sEnc;         // "m_bEnc", "0" when absent; kept, never used
};

// Reads the entries in the dialog's order. A clear-text "m_sApiKey" is first moved into
// "bApiKey" (encrypted) and then emptied; it is not deleted.
LoginSettings ReadLoginSettings(CNorvoSMSApp& app);

// What every OK press writes, in its order: the program folder under "NorvoSendSMS"; the ID
// when it is to be saved (else empty text); the key's cipher text when it is to be saved (else
// an empty binary value). An empty key never replaces a stored one: after an automatic login
// the key edit is empty, and the saved key must survive the next OK. A key that cannot be
// encrypted leaves no stored key; clear text is never stored. Last "NotFirst" when the ID is
// saved and the marker read at open was empty.
void SaveLoginSettings(CNorvoSMSApp& app, const std::string& id, const std::string& key, bool saveId, bool saveKey,
                       const std::string& firstLoginAtOpen);
