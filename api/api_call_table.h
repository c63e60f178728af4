// Every API call that reads a result document, described as data: one row per call.
#pragma once

#include <array>
#include <cstddef>

enum class ApiCall : int {
  CheckLogin,
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

// Where a value of the request comes from: one of the call's arguments, or the client's user ID.
constexpr int kOwnSmsId = -1;

struct ApiParam {
  const char* name = nullptr;  // null ends the list
  int source = kOwnSmsId;      // an argument index, or kOwnSmsId
};

enum class ApiAnswer {
  FieldText,         // ChildValue(field) stored in the result buffer; empty when absent
  FieldNumber,       // ChildValue(field) read as atoi reads it; the buffer is left alone
  ElementText,       // the element (field, then inner when given) rewritten, stored; missing: failure
  ElementStoredFlag  // as ElementText, but the call returns 1 and 0 instead of the text
};

constexpr std::size_t kMaxApiParams = 6;

struct ApiCallSpec {
  const char* method;
  int smsIdSource;   // what goes into sms-id
  bool sendsApiKey;  // the access token once more, as api-key before access-token
  std::array<ApiParam, kMaxApiParams> params;
  ApiAnswer answer;
  const char* field;
  const char* inner;  // null: the field's element itself
};

const ApiCallSpec& SpecOf(ApiCall call);
