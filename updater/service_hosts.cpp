#include "updater/service_hosts.h"

#include <cstdio>
#include <cstdlib>

#include "xmlrpc/host_setting.h"

namespace {

// The setting, or the default when it is unset; empty, with the reason on standard error, when
// it cannot be honoured.
std::string HostFromEnvironment(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return fallback;
  std::string problem = HostSettingProblem(value);
  if (problem.empty()) return value;
  std::fprintf(stderr, "%s cannot be honoured: %s; nothing was sent\n", name, problem.c_str());
  return "";
}

}  // namespace

std::string UpdateHost() { return HostFromEnvironment("NORVOSMS_UPDATE_HOST", kDefaultUpdateHost); }

std::string ConsoleHost() { return HostFromEnvironment("NORVOSMS_CONSOLE_HOST", kDefaultConsoleHost); }

std::string ManifestAddress() {
  std::string host = UpdateHost();
  return host.empty() ? "" : "http://" + host + kManifestPath;
}

std::string ConsolePageAddress(const std::string& path) {
  std::string host = ConsoleHost();
  return host.empty() ? "" : "https://" + host + path;
}
