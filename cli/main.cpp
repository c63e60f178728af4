// norvosms COMMAND [ARGS...]
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace {

const CliCommand kCommands[] = {
    {"ip", "norvosms ip                 the public IP address as the service sees it", RunIpCommand},
    {"send", "norvosms send ... MESSAGE   send an SMS or LMS to one phone or a file of them (--help)",
     RunSendCommand},
};

int Usage() {
  std::fprintf(stderr, "usage: norvosms COMMAND [ARGS...]\n");
  for (const auto& command : kCommands) std::fprintf(stderr, "  %s\n", command.usage);
  std::fprintf(stderr, "The service endpoint is NORVOSMS_API_URL.\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::vector<std::string> args(argv + 2, argv + argc);
  for (const auto& command : kCommands)
    if (std::strcmp(argv[1], command.name) == 0) return command.run(args);
  return Usage();
}
