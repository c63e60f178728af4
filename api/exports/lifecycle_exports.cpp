// The lifecycle exports. No exception leaves an export.
#include "api/NorvoSMS.h"

#include "api/call_service.h"
#include "api/client_instance.h"

extern "C" void WINAPI InitDLL(std::string userId, std::string apiKey) {
  try {
    CreateClient(userId, apiKey);
  } catch (...) {
  }
}

extern "C" void WINAPI InitHostIP(void) {
  try {
    CreateClientWithoutIdentity();
  } catch (...) {
  }
}

extern "C" const char* WINAPI HostIPSMS(void) {
  if (!g_pApiClient) return nullptr;
  try {
    return g_pApiClient->HostIPSMS();
  } catch (...) {
    return kCallFailed;
  }
}

extern "C" void FreeDll(void) {
  try {
    DestroyClient();
  } catch (...) {
  }
}
