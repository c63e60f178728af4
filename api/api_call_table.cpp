#include "api/api_call_table.h"

namespace {

constexpr int kArg0 = 0, kArg1 = 1, kArg2 = 2, kArg3 = 3, kArg4 = 4, kArg5 = 5, kArg6 = 6, kArg7 = 7;
constexpr ApiTokens kToken = ApiTokens::AccessToken;
constexpr ApiTokens kApiKeyAndToken = ApiTokens::ApiKeyAndAccessToken;

// Method names go out exactly as the service spells them ("reSendAuthnum", "getAdresslist",
// "getLastestlist", "getStatusByRef_all").
// One row per call, its fields in the same places on every row: not reflowed.
// clang-format off
constexpr ApiCallSpec kCalls[] = {
    // HostIPSMS: no identity, even after InitDLL; the answer is the caller's address as text.
    {"SMS.host_ip", kNoValue, ApiTokens::None, {}, ApiAnswer::WholeAnswer, nullptr, nullptr},
    // CheckLogin (user ID, API key, IP, adapter): sms-id is the argument; the adapter goes before the IP.
    {"SMS.userAuth", kArg0, kToken,
     {{{"sms_id", kArg0}, {"api_key", kArg1}, {"mac_adr", kArg3}, {"ip", kArg2}}},
     ApiAnswer::FieldText, "smsResult", nullptr},
    // Send, one queued message (phone, callback, message, subject, ref_key, reserve with ":00",
    // send_type read as it goes out, usears); the worker turns the code into its notification.
    {"SMS.send", kOwnSmsId, kToken,
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
     ApiAnswer::ResultCode, "code", nullptr},
    // PhoneAuth (phone, adapter)
    {"SMS.phoneAuth", kOwnSmsId, kApiKeyAndToken, {{{"phonenum", kArg0}, {"mac_adr", kArg1}}},
     ApiAnswer::FieldText, "smsResult", nullptr},
    // ReSendAuthNum (phone, adapter)
    {"SMS.reSendAuthnum", kOwnSmsId, kApiKeyAndToken, {{{"phonenum", kArg0}, {"mac_adr", kArg1}}},
     ApiAnswer::FieldText, "smsResult", nullptr},
    // AuthNumCheck (adapter, number)
    {"SMS.authNumCheck", kOwnSmsId, kApiKeyAndToken, {{{"mac_adr", kArg0}, {"auth_num", kArg1}}},
     ApiAnswer::FieldText, "smsResult", nullptr},
    // GetSmsUserName
    {"SMS.getUserInfo", kOwnSmsId, kToken, {}, ApiAnswer::FieldText, "sms_name", nullptr},
    // GetUserPhoneNum
    {"SMS.getCallbackNum", kOwnSmsId, kToken, {}, ApiAnswer::ElementText, "smsResult", nullptr},
    // GetSmsCount
    {"SMS.getUserInfo", kOwnSmsId, kToken, {}, ApiAnswer::FieldNumber, "sms_quantity", nullptr},
    // GetArsCount
    {"SMS.getUserInfo", kOwnSmsId, kToken, {}, ApiAnswer::FieldNumber, "ars_quantity", nullptr},
    // PhoneBookGroupList
    {"SMS.getGrouplist", kOwnSmsId, kToken, {{{"sms_id", kOwnSmsId}}}, ApiAnswer::ElementText, "smsResult",
     nullptr},
    // PhoneBookList (group)
    {"SMS.getAdresslist", kOwnSmsId, kToken, {{{"sms_id", kOwnSmsId}, {"group_name", kArg0}}},
     ApiAnswer::ElementText, "smsResult", nullptr},
    // InsertGroup (group)
    {"SMS.addGrouplist", kOwnSmsId, kToken, {{{"sms_id", kOwnSmsId}, {"group_name", kArg0}}},
     ApiAnswer::ElementText, "smsResult", nullptr},
    // InsertPhoneList (group, name, phone, tel, email)
    {"SMS.addAddresslist", kOwnSmsId, kToken,
     {{{"sms_id", kOwnSmsId},
       {"group_name", kArg0},
       {"name", kArg1},
       {"phone", kArg2},
       {"tel", kArg3},
       {"email", kArg4}}},
     ApiAnswer::ElementStoredFlag, "smsResult", nullptr},
    // GetARSGroupList
    {"SMS.getArsList", kOwnSmsId, kToken, {{{"sms_id", kOwnSmsId}}}, ApiAnswer::ElementText, "smsResult",
     nullptr},
    // RecentSendList
    {"SMS.getLastestlist", kOwnSmsId, kToken, {{{"sms_id", kOwnSmsId}}}, ApiAnswer::ElementText, "smsResult",
     nullptr},
    // GetStatusByRef_All (reference key)
    {"SMS.getStatusByRef_all", kOwnSmsId, kApiKeyAndToken, {{{"ref_key", kArg0}}}, ApiAnswer::ElementText, "smsResult",
     "entries"},
};
// clang-format on

static_assert(sizeof(kCalls) / sizeof(kCalls[0]) == static_cast<std::size_t>(ApiCall::Count), "one row per call");

}  // namespace

const ApiCallSpec& SpecOf(ApiCall call) { return kCalls[static_cast<int>(call)]; }
