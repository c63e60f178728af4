#include <cstdio>
#include <cstring>

#include "api/NorvoSMS.h"
#include "cli/commands.h"

// The desktop program's short sequence: InitHostIP, HostIPSMS, FreeDll. A failure has already
// printed its reason (without a line end) by the time HostIPSMS returns "error".
int RunIpCommand(const std::vector<std::string>& args) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::printf("usage: norvosms ip\n  the public IP address as the service sees it\n");
    return 0;
  }
  if (!args.empty()) {
    std::fprintf(stderr, "usage: norvosms ip\n");
    return 2;
  }
  InitHostIP();
  const char* answer = HostIPSMS();
  bool ok = answer && std::strcmp(answer, "error") != 0;
  if (ok) std::printf("%s", answer);
  std::printf("\n");
  FreeDll();
  return ok ? 0 : 1;
}
