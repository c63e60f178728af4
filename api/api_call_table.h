// Every API call, described as data: one row per call, all run by RunApiCall. The rows name
// their call, so a new call is a value here and a row anywhere in the table.
#pragma once

#include <array>
#include <cstddef>

enum class ApiCall : int {
  HostIPSMS,
  CheckLogin,
  Send,
  PhoneAuth,
  ReSendAuthNum,
  AuthNumCheck,
  GetSmsUserName,
  GetUserPhoneNum,
  GetSmsCount,
  GetArsCount,
  PhoneBookGroupList,
  PhoneBookList,
  InsertGroup,
  InsertPhoneList,
  GetARSGroupList,
  RecentSendList,
  GetStatusByRef_All,
  Count
};

// Where a value of the request comes from: one of the call's arguments (its index), the
// client's user ID, nothing (empty text), or the text the row gives.
constexpr int kOwnSmsId = -1;
constexpr int kNoValue = -2;
constexpr int kFixedText = -3;

struct ApiParam {
  const char* name = nullptr;   // null ends the list
  int source = kOwnSmsId;       // an argument index, kOwnSmsId, kNoValue or kFixedText
  const char* fixed = nullptr;  // the value when the source is kFixedText
};

// The tokens the envelope carries.
enum class ApiTokens {
  AccessToken,           // access-token only
  ApiKeyAndAccessToken,  // the access token once more, as api-key before access-token
  None                   // access-token empty
};

enum class ApiAnswer {
  WholeAnswer,       // the answer string stored unchanged; it is no result document
  ResultCode,        // ChildValue(field) handed back as the code; the buffer is left alone
  FieldText,         // ChildValue(field) stored in the result buffer; empty when absent
  FieldNumber,       // ChildValue(field) read as atoi reads it; the buffer is left alone
  ElementText,       // the element (field, then inner when given) rewritten, stored; missing: failure
  ElementStoredFlag  // as ElementText, but the call returns 1 and 0 instead of the text
};

constexpr std::size_t kMaxApiParams = 10;

struct ApiCallSpec {
  const char* method;
  int smsIdSource;  // what goes into sms-id: kOwnSmsId, kNoValue or an argument index
  ApiTokens tokens;
  std::array<ApiParam, kMaxApiParams> params;
  ApiAnswer answer;
  const char* field;
  const char* inner;  // null: the field's element itself
};

const ApiCallSpec& SpecOf(ApiCall call);
