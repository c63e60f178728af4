#include "cli/option_values.h"

#include <cstdlib>

bool TakeOptionValue(const std::vector<std::string>& args, std::size_t& i, std::string& into, std::string& problem) {
  if (i + 1 >= args.size()) {
    problem = args[i] + " needs a value";
    return false;
  }
  into = args[++i];
  return true;
}

std::string* UserOptionValue(const std::string& arg, std::string& id, ApiKeySource& key) {
  if (arg == "--id") return &id;
  if (arg == "--key-file") return &key.keyFile;
  if (arg != "--key") return nullptr;
  key.keyGiven = true;
  return &key.key;
}

std::string UserIdFromEnvironment() {
  const char* id = std::getenv("NORVOSMS_ID");
  return id != nullptr ? id : "";
}
