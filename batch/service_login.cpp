#include "batch/service_login.h"

#include <iphlpapi.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "api/NorvoSMS.h"

namespace {

// GetAdaptersInfo is asked again with the size it reports, a few times at most.
constexpr int kAdapterQueryRounds = 4;

bool Failed(const char* answer) { return answer == nullptr || std::strcmp(answer, "error") == 0; }

}  // namespace

std::string FirstAdapterAddress() {
  ULONG size = 16 * sizeof(IP_ADAPTER_INFO);
  std::vector<IP_ADAPTER_INFO> records;
  DWORD result = ERROR_BUFFER_OVERFLOW;
  for (int round = 0; round < kAdapterQueryRounds && result == ERROR_BUFFER_OVERFLOW; ++round) {
    records.assign(size / sizeof(IP_ADAPTER_INFO) + 1, IP_ADAPTER_INFO{});
    result = GetAdaptersInfo(records.data(), &size);
  }
  if (result != ERROR_SUCCESS) return "";
  const BYTE* a = records.front().Address;
  char text[32];
  std::snprintf(text, sizeof text, "%02X.%02X.%02X.%02X.%02X.%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
  return text;
}

bool LogInClient(const std::string& userId, const std::string& apiKey, std::string& problem) {
  const char* ip = HostIPSMS();
  if (Failed(ip)) {
    problem = "the public IP address could not be read";
    return false;
  }
  const std::string address = ip;  // the result buffer is shared: copy now
  const char* answer = CheckLogin(userId, apiKey, address, FirstAdapterAddress());
  if (Failed(answer)) {
    problem = "the login failed";
    return false;
  }
  if (*answer == '\0') {
    problem = "the login was refused for user " + userId;
    return false;
  }
  return true;
}

StatusLookup LoggedInStatusLookup(const std::string& userId, const std::string& apiKey) {
  auto loggedIn = std::make_shared<bool>(false);
  return [=](const std::string& refKey) {
    if (!*loggedIn) {
      StatusAnswer answer;
      if (!LogInClient(userId, apiKey, answer.problem)) return answer;  // asked again at the next call
      *loggedIn = true;
    }
    return AskServiceStatus(refKey);
  };
}
