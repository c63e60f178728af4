// The client operations of the public-IP call, login, phone authentication, account, address
// book and history: each one row of the call table, run by RunApiCall. Sending runs its row from
// SendNext.
#include "api/api_call.h"
#include "api/api_client.h"

const char* ApiClient::HostIPSMS() { return RunApiCall(*this, ApiCall::HostIPSMS, {}).text; }

const char* ApiClient::CheckLogin(std::string userId, std::string apiKey, std::string ipAddress,
                                  std::string adapterAddress) {
  return RunApiCall(*this, ApiCall::CheckLogin, {userId, apiKey, ipAddress, adapterAddress}).text;
}

const char* ApiClient::PhoneAuth(std::string phoneNumber, std::string adapterAddress) {
  return RunApiCall(*this, ApiCall::PhoneAuth, {phoneNumber, adapterAddress}).text;
}

const char* ApiClient::ReSendAuthNum(std::string phoneNumber, std::string adapterAddress) {
  return RunApiCall(*this, ApiCall::ReSendAuthNum, {phoneNumber, adapterAddress}).text;
}

const char* ApiClient::AuthNumCheck(std::string adapterAddress, std::string authNumber) {
  return RunApiCall(*this, ApiCall::AuthNumCheck, {adapterAddress, authNumber}).text;
}

const char* ApiClient::GetSmsUserName() { return RunApiCall(*this, ApiCall::GetSmsUserName, {}).text; }

const char* ApiClient::GetUserPhoneNum() { return RunApiCall(*this, ApiCall::GetUserPhoneNum, {}).text; }

int ApiClient::GetSmsCount() { return RunApiCall(*this, ApiCall::GetSmsCount, {}).number; }

int ApiClient::GetArsCount() { return RunApiCall(*this, ApiCall::GetArsCount, {}).number; }

const char* ApiClient::PhoneBookGroupList() { return RunApiCall(*this, ApiCall::PhoneBookGroupList, {}).text; }

const char* ApiClient::PhoneBookList(std::string groupName) {
  return RunApiCall(*this, ApiCall::PhoneBookList, {groupName}).text;
}

const char* ApiClient::InsertGroup(std::string groupName) {
  return RunApiCall(*this, ApiCall::InsertGroup, {groupName}).text;
}

int ApiClient::InsertPhoneList(std::string groupName, std::string name, std::string phone, std::string tel,
                               std::string email) {
  return RunApiCall(*this, ApiCall::InsertPhoneList, {groupName, name, phone, tel, email}).number;
}

const char* ApiClient::GetARSGroupList() { return RunApiCall(*this, ApiCall::GetARSGroupList, {}).text; }

const char* ApiClient::RecentSendList() { return RunApiCall(*this, ApiCall::RecentSendList, {}).text; }

const char* ApiClient::GetStatusByRef_All(std::string refKey) {
  return RunApiCall(*this, ApiCall::GetStatusByRef_All, {refKey}).text;
}
