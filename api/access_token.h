// The access token every request carries: a random salt and the MD5 of salt and API key.
#pragma once

#include <string>

// 8 upper-case hex digits of salt, then the 32 lower-case hex digits of Md5Hex(salt + apiKey).
// Seeds the C runtime's generator with the current second, so tokens made within one second
// for one key are equal.
std::string MakeAccessToken(const std::string& apiKey);
