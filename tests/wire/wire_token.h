// The access token in expected requests: it is random per InitDLL, so a case writes $TOKEN
// where it goes and the runner takes it from the request, after checking that it is one.
#pragma once

#include <string>

constexpr const char kTokenMark[] = "$TOKEN";

// When expected holds $TOKEN: the 40 characters of actual at its first place, checked to be
// 8 upper-case hex digits of salt and the MD5 of salt and apiKey, replace every $TOKEN.
// Otherwise (no mark, or no valid token there) expected comes back as it is, so the
// comparison that follows shows the difference.
std::string WithToken(const std::string& expected, const std::string& actual, const std::string& apiKey);

// True for a token made from apiKey.
bool IsTokenFor(const std::string& token, const std::string& apiKey);
