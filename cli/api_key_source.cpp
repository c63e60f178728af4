#include "cli/api_key_source.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

bool ReadApiKey(std::FILE* from, std::string& key, std::string& problem) {
  key.clear();
  int c;
  while ((c = std::fgetc(from)) != EOF && c != '\n') {
    if (key.size() >= kMaxApiKeyBytes) {
      problem = "the API key is longer than " + std::to_string(kMaxApiKeyBytes) + " bytes";
      return false;
    }
    key += static_cast<char>(c);
  }
  if (!key.empty() && key.back() == '\r') key.pop_back();
  for (unsigned char k : key) {
    if (k < 0x20 || k == 0x7F) {
      problem = "the API key holds control characters";
      return false;
    }
  }
  if (key.empty()) {
    problem = "the API key is empty";
    return false;
  }
  return true;
}

bool ResolveApiKey(const std::string& command, const ApiKeySource& source, std::string& key, std::string& problem) {
  if (source.keyGiven && !source.keyFile.empty()) {
    problem = "give either --key or --key-file";
    return false;
  }
  if (!source.keyFile.empty()) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(source.keyFile.c_str(), "rb"), std::fclose);
    if (!file) {
      problem = "cannot read the key file " + source.keyFile;
      return false;
    }
    if (!ReadApiKey(file.get(), key, problem)) {
      problem = source.keyFile + ": " + problem;
      return false;
    }
    return true;
  }
  if (source.keyGiven && source.key == "-") {
    if (!ReadApiKey(stdin, key, problem)) {
      problem = "standard input: " + problem;
      return false;
    }
    return true;
  }
  if (source.keyGiven) {
    std::fprintf(stderr,
                 "%s: warning: --key VALUE shows the API key to other users of this machine; "
                 "use --key-file FILE or --key - (standard input)\n",
                 command.c_str());
    key = source.key;
    return true;
  }
  const char* fromEnvironment = std::getenv("NORVOSMS_API_KEY");
  key = fromEnvironment != nullptr ? fromEnvironment : "";
  return true;
}
