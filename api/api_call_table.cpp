#include "api/api_call_table.h"

namespace {

constexpr int kArg0 = 0, kArg1 = 1, kArg2 = 2, kArg3 = 3, kArg4 = 4, kArg5 = 5, kArg6 = 6, kArg7 = 7;
constexpr ApiTokens kToken = ApiTokens::AccessToken;
constexpr ApiTokens kApiKeyAndToken = ApiTokens::ApiKeyAndAccessToken;

// A row names the call it describes, so the table does not depend on the order of the rows.
struct KeyedSpec {
  ApiCall call;
  ApiCallSpec spec;
};

// Method names go out exactly as the service spells them ("reSendAuthnum", "getAdresslist",
// "getLastestlist", "getStatusByRef_all").
// One row per call, its fields in the same places on every row: not reflowed.
// clang-format off
constexpr KeyedSpec kRows[] = {
    // HostIPSMS: no identity, even after InitDLL; the answer is the caller's address as text.
    {ApiCall::HostIPSMS, {"SMS.host_ip", kNoValue, ApiTokens::None, {}, ApiAnswer::WholeAnswer, nullptr, nullptr}},
    // CheckLogin (user ID, API key, IP, adapter): sms-id is the argument; the adapter goes before the IP.
    {ApiCall::CheckLogin, {"SMS.userAuth", kArg0, kToken,
     {{{"sms_id", kArg0}, {"api_key", kArg1}, {"mac_adr", kArg3}, {"ip", kArg2}}},
     ApiAnswer::FieldText, "smsResult", nullptr}},
    // Send, one queued message (phone, callback, message, subject, ref_key, reserve with ":00",
    // send_type read as it goes out, usears); the worker turns the code into its notification.
    {ApiCall::Send, {"SMS.send", kOwnSmsId, kToken,
     {{{"call_type", kFixedText, "p"},
       {"phone", kArg0},
       {"callback", kArg1},
       {"message", kArg2},
       {"subject", kArg3},
       {"ref_key", kArg4},
       {"reserve", kArg5},
       {"send_type", kArg6},
       {"msg_type", kFixedText, "1"},
       {"usears", kArg7}}},
     ApiAnswer::ResultCode, "code", nullptr}},
    // PhoneAuth (phone, adapter)
    {ApiCall::PhoneAuth, {"SMS.phoneAuth", kOwnSmsId, kApiKeyAndToken, {{{"phonenum", kArg0}, {"mac_adr", kArg1}}},
     ApiAnswer::FieldText, "smsResult", nullptr}},
    // ReSendAuthNum (phone, adapter)
    {ApiCall::ReSendAuthNum, {"SMS.reSendAuthnum", kOwnSmsId, kApiKeyAndToken,
     {{{"phonenum", kArg0}, {"mac_adr", kArg1}}},
     ApiAnswer::FieldText, "smsResult", nullptr}},
    // AuthNumCheck (adapter, number)
    {ApiCall::AuthNumCheck, {"SMS.authNumCheck", kOwnSmsId, kApiKeyAndToken,
     {{{"mac_adr", kArg0}, {"auth_num", kArg1}}},
     ApiAnswer::FieldText, "smsResult", nullptr}},
    // GetSmsUserName
    {ApiCall::GetSmsUserName, {"SMS.getUserInfo", kOwnSmsId, kToken, {}, ApiAnswer::FieldText, "sms_name", nullptr}},
    // GetUserPhoneNum
    {ApiCall::GetUserPhoneNum, {"SMS.getCallbackNum", kOwnSmsId, kToken, {},
     ApiAnswer::ElementText, "smsResult", nullptr}},
    // GetSmsCount
    {ApiCall::GetSmsCount, {"SMS.getUserInfo", kOwnSmsId, kToken, {}, ApiAnswer::FieldNumber, "sms_quantity", nullptr}},
    // GetArsCount
    {ApiCall::GetArsCount, {"SMS.getUserInfo", kOwnSmsId, kToken, {}, ApiAnswer::FieldNumber, "ars_quantity", nullptr}},
    // PhoneBookGroupList
    {ApiCall::PhoneBookGroupList, {"SMS.getGrouplist", kOwnSmsId, kToken, {{{"sms_id", kOwnSmsId}}},
     ApiAnswer::ElementText, "smsResult", nullptr}},
    // PhoneBookList (group)
    {ApiCall::PhoneBookList, {"SMS.getAdresslist", kOwnSmsId, kToken, {{{"sms_id", kOwnSmsId}, {"group_name", kArg0}}},
     ApiAnswer::ElementText, "smsResult", nullptr}},
    // InsertGroup (group)
    {ApiCall::InsertGroup, {"SMS.addGrouplist", kOwnSmsId, kToken, {{{"sms_id", kOwnSmsId}, {"group_name", kArg0}}},
     ApiAnswer::ElementText, "smsResult", nullptr}},
    // InsertPhoneList (group, name, phone, tel, email)
    {ApiCall::InsertPhoneList, {"SMS.addAddresslist", kOwnSmsId, kToken,
     {{{"sms_id", kOwnSmsId},
       {"group_name", kArg0},
       {"name", kArg1},
       {"phone", kArg2},
       {"tel", kArg3},
       {"email", kArg4}}},
     ApiAnswer::ElementStoredFlag, "smsResult", nullptr}},
    // GetARSGroupList
    {ApiCall::GetARSGroupList, {"SMS.getArsList", kOwnSmsId, kToken, {{{"sms_id", kOwnSmsId}}},
     ApiAnswer::ElementText, "smsResult", nullptr}},
    // RecentSendList
    {ApiCall::RecentSendList, {"SMS.getLastestlist", kOwnSmsId, kToken, {{{"sms_id", kOwnSmsId}}},
     ApiAnswer::ElementText, "smsResult", nullptr}},
    // GetStatusByRef_All (reference key)
    {ApiCall::GetStatusByRef_All, {"SMS.getStatusByRef_all", kOwnSmsId, kApiKeyAndToken, {{{"ref_key", kArg0}}},
     ApiAnswer::ElementText, "smsResult", "entries"}},
};
// clang-format on

constexpr std::size_t kCallCount = static_cast<std::size_t>(ApiCall::Count);

constexpr bool OneRowPerCall() {
  std::array<int, kCallCount> rows{};
  for (const KeyedSpec& row : kRows) {
    const auto index = static_cast<std::size_t>(row.call);
    if (index >= kCallCount || ++rows[index] > 1) return false;
  }
  for (int count : rows) {
    if (count != 1) return false;
  }
  return true;
}
static_assert(OneRowPerCall(), "every call has exactly one row");

constexpr std::array<ApiCallSpec, kCallCount> ByCall() {
  std::array<ApiCallSpec, kCallCount> table{};
  for (const KeyedSpec& row : kRows) table[static_cast<std::size_t>(row.call)] = row.spec;
  return table;
}

constexpr std::array<ApiCallSpec, kCallCount> kCalls = ByCall();

}  // namespace

const ApiCallSpec& SpecOf(ApiCall call) { return kCalls[static_cast<std::size_t>(call)]; }
