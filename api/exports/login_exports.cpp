// The login export. Its string parameters are destroyed on return, on every path.
#include "api/NorvoSMS.h"
#include "api/exports/export_forwarding.h"

extern "C" const char* WINAPI CheckLogin(std::string userId, std::string apiKey, std::string ipAddress,
                                         std::string adapterAddress) {
  return ForwardText([&](ApiClient& c) { return c.CheckLogin(userId, apiKey, ipAddress, adapterAddress); });
}
