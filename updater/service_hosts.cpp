#include "updater/service_hosts.h"

#include <cstdlib>

namespace {

std::string HostFromEnvironment(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return (value != nullptr && *value != '\0') ? value : fallback;
}

}  // namespace

std::string UpdateHost() { return HostFromEnvironment("NORVOSMS_UPDATE_HOST", kDefaultUpdateHost); }

std::string ConsoleHost() { return HostFromEnvironment("NORVOSMS_CONSOLE_HOST", kDefaultConsoleHost); }

std::string ManifestAddress() { return "http://" + UpdateHost() + kManifestPath; }

std::string ConsolePageAddress(const std::string& path) { return "https://" + ConsoleHost() + path; }
