// The phone-authentication exports (cdecl).
#include "api/NorvoSMS.h"
#include "api/exports/export_forwarding.h"

extern "C" const char* PhoneAuth(std::string phoneNumber, std::string adapterAddress) {
  return ForwardText([&](ApiClient& c) { return c.PhoneAuth(phoneNumber, adapterAddress); });
}

extern "C" const char* ReSendAuthNum(std::string phoneNumber, std::string adapterAddress) {
  return ForwardText([&](ApiClient& c) { return c.ReSendAuthNum(phoneNumber, adapterAddress); });
}

extern "C" const char* AuthNumCheck(std::string adapterAddress, std::string authNumber) {
  return ForwardText([&](ApiClient& c) { return c.AuthNumCheck(adapterAddress, authNumber); });
}
