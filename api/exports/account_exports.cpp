// The account exports.
#include "api/NorvoSMS.h"
#include "api/exports/export_forwarding.h"

extern "C" const char* GetSmsUserName(void) {
  return ForwardText([](ApiClient& c) { return c.GetSmsUserName(); });
}

extern "C" const char* GetUserPhoneNum(void) {
  return ForwardText([](ApiClient& c) { return c.GetUserPhoneNum(); });
}

extern "C" int GetSmsCount(void) {
  return ForwardNumber(-1, [](ApiClient& c) { return c.GetSmsCount(); });
}

extern "C" int WINAPI GetArsCount(void) {
  return ForwardNumber(-1, [](ApiClient& c) { return c.GetArsCount(); });
}
