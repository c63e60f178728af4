// The one procedure behind every call of the call table: envelope, service call, result
// document (unless the row keeps the whole answer), and the value the row says to read back.
#pragma once

#include <string>
#include <vector>

#include "api/api_call_table.h"

class ApiClient;

// What a call gives back: `text` for the text answers (into m_sResult, or "error"), `number`
// for the counts (-1 on failure) and the stored flag (1, or 0 on failure), `code` for the
// sending call. `failed` when the service call failed or the row's element was missing.
struct ApiCallOutcome {
  const char* text = nullptr;
  int number = 0;
  std::string code;
  bool failed = false;
};

// args are the call's arguments in the export's order. m_sResult changes only when the row
// stores text and the answer held it, so the send workers never touch it. Never throws but
// for a failed allocation.
ApiCallOutcome RunApiCall(ApiClient& client, ApiCall call, const std::vector<std::string>& args);
