// The road of every API call: request text, XML-RPC call `norvosms` over HTTPS, string answer.
#pragma once

#include <string>

#include "api/request_document.h"

// The text every failed text call returns; it never lives in a result buffer.
extern const char kCallFailed[];

// Endpoint used when NORVOSMS_API_URL is not set; it names no real host.
extern const char kDefaultApiUrl[];

// NORVOSMS_API_URL when set and not empty, else kDefaultApiUrl. Read on every call.
std::string ApiEndpointUrl();

// Writes the request text, posts it and checks the answer. On failure the reason goes to
// standard output without a line end and `result` is left alone. Never throws.
bool CallService(const std::string& method, const EnvelopeValues& envelope, const RequestParams& params,
                 std::string& result);
