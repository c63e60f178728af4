// The one procedure behind every call of the call table: envelope, service call, result
// document, and the value the row says to read back.
#pragma once

#include <string>
#include <vector>

#include "api/api_call_table.h"

class ApiClient;

// What a call gives back: `text` for the text answers (into m_sResult, or "error"), `number`
// for the counts (-1 on failure) and the stored flag (1, or 0 on failure).
struct ApiCallOutcome {
  const char* text = nullptr;
  int number = 0;
};

// args are the call's arguments in the export's order. m_sResult changes only when the row
// stores text and the answer held it. Never throws but for a failed allocation.
ApiCallOutcome RunApiCall(ApiClient& client, ApiCall call, const std::vector<std::string>& args);

// The leading decimal number of the text as atoi reads it (space, sign, digits), clamped to
// the int range instead of overflowing; 0 without digits.
int LeadingNumber(const std::string& text);
