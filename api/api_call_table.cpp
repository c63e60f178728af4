#include "api/api_call_table.h"

namespace {

constexpr int kArg0 = 0, kArg1 = 1, kArg2 = 2, kArg3 = 3, kArg4 = 4;

// Method names go out exactly as the service spells them ("reSendAuthnum", "getAdresslist",
// "getLastestlist", "getStatusByRef_all").
constexpr ApiCallSpec kCalls[] = {
    // CheckLogin (user ID, API key, IP, adapter): sms-id is the argument; the adapter goes before the IP.
    {"SMS.userAuth", kArg0, false,
     {{{"sms_id", kArg0}, {"api_key", kArg1}, {"mac_adr", kArg3}, {"ip", kArg2}}},
     ApiAnswer::FieldText, "smsResult", nullptr},
    // PhoneAuth (phone, adapter)
    {"SMS.phoneAuth", kOwnSmsId, true, {{{"phonenum", kArg0}, {"mac_adr", kArg1}}},
     ApiAnswer::FieldText, "smsResult", nullptr},
    // ReSendAuthNum (phone, adapter)
    {"SMS.reSendAuthnum", kOwnSmsId, true, {{{"phonenum", kArg0}, {"mac_adr", kArg1}}},
     ApiAnswer::FieldText, "smsResult", nullptr},
    // AuthNumCheck (adapter, number)
    {"SMS.authNumCheck", kOwnSmsId, true, {{{"mac_adr", kArg0}, {"auth_num", kArg1}}},
     ApiAnswer::FieldText, "smsResult", nullptr},
    // GetSmsUserName
    {"SMS.getUserInfo", kOwnSmsId, false, {}, ApiAnswer::FieldText, "sms_name", nullptr},
    // GetUserPhoneNum
    {"SMS.getCallbackNum", kOwnSmsId, false, {}, ApiAnswer::ElementText, "smsResult", nullptr},
    // GetSmsCount
    {"SMS.getUserInfo", kOwnSmsId, false, {}, ApiAnswer::FieldNumber, "sms_quantity", nullptr},
    // GetArsCount
    {"SMS.getUserInfo", kOwnSmsId, false, {}, ApiAnswer::FieldNumber, "ars_quantity", nullptr},
    // PhoneBookGroupList
    {"SMS.getGrouplist", kOwnSmsId, false, {{{"sms_id", kOwnSmsId}}}, ApiAnswer::ElementText, "smsResult",
     nullptr},
    // PhoneBookList (group)
    {"SMS.getAdresslist", kOwnSmsId, false, {{{"sms_id", kOwnSmsId}, {"group_name", kArg0}}},
     ApiAnswer::ElementText, "smsResult", nullptr},
    // InsertGroup (group)
    {"SMS.addGrouplist", kOwnSmsId, false, {{{"sms_id", kOwnSmsId}, {"group_name", kArg0}}},
     ApiAnswer::ElementText, "smsResult", nullptr},
    // InsertPhoneList (group, name, phone, tel, email)
    {"SMS.addAddresslist", kOwnSmsId, false,
     {{{"sms_id", kOwnSmsId},
       {"group_name", kArg0},
       {"name", kArg1},
       {"phone", kArg2},
       {"tel", kArg3},
       {"email", kArg4}}},
     ApiAnswer::ElementStoredFlag, "smsResult", nullptr},
    // GetARSGroupList
    {"SMS.getArsList", kOwnSmsId, false, {{{"sms_id", kOwnSmsId}}}, ApiAnswer::ElementText, "smsResult",
     nullptr},
    // RecentSendList
    {"SMS.getLastestlist", kOwnSmsId, false, {{{"sms_id", kOwnSmsId}}}, ApiAnswer::ElementText, "smsResult",
     nullptr},
    // GetStatusByRef_All (reference key)
    {"SMS.getStatusByRef_all", kOwnSmsId, true, {{{"ref_key", kArg0}}}, ApiAnswer::ElementText, "smsResult",
     "entries"},
};

static_assert(sizeof(kCalls) / sizeof(kCalls[0]) == static_cast<std::size_t>(ApiCall::Count),
              "one row per call");

}  // namespace

const ApiCallSpec& SpecOf(ApiCall call) { return kCalls[static_cast<int>(call)]; }
