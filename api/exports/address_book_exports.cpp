// The address-book and history exports (cdecl where they take parameters).
#include "api/NorvoSMS.h"
#include "api/exports/export_forwarding.h"

extern "C" const char* PhoneBookGroupList(void) {
  return ForwardText([](ApiClient& c) { return c.PhoneBookGroupList(); });
}

extern "C" const char* PhoneBookList(std::string groupName) {
  return ForwardText([&](ApiClient& c) { return c.PhoneBookList(groupName); });
}

extern "C" const char* InsertGroup(std::string groupName) {
  return ForwardText([&](ApiClient& c) { return c.InsertGroup(groupName); });
}

extern "C" int InsertPhoneList(std::string groupName, std::string name, std::string phone, std::string tel,
                               std::string email) {
  return ForwardNumber(0, [&](ApiClient& c) { return c.InsertPhoneList(groupName, name, phone, tel, email); });
}

extern "C" const char* GetARSGroupList(void) {
  return ForwardText([](ApiClient& c) { return c.GetARSGroupList(); });
}

extern "C" const char* RecentSendList(void) {
  return ForwardText([](ApiClient& c) { return c.RecentSendList(); });
}

extern "C" const char* GetStatusByRef_All(std::string refKey) {
  return ForwardText([&](ApiClient& c) { return c.GetStatusByRef_All(refKey); });
}
