// Where a command's API key comes from: --key-file FILE, --key - (standard input), --key VALUE
// (visible to other users in the process list, so it warns), or NORVOSMS_API_KEY.
#pragma once

#include <string>

constexpr std::size_t kMaxApiKeyBytes = 1024;

struct ApiKeySource {
  bool keyGiven = false;  // --key seen
  std::string key;        // its value; "-" reads standard input
  std::string keyFile;    // --key-file
};

// The key, or false with `problem` set. `command` prefixes the warning ("norvosms send").
bool ResolveApiKey(const std::string& command, const ApiKeySource& source, std::string& key, std::string& problem);

// The first line of a key file or stream, without its line end: at most kMaxApiKeyBytes,
// no control characters, not empty.
bool ReadApiKey(std::FILE* from, std::string& key, std::string& problem);
