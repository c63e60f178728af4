// norvosms COMMAND [ARGS...]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/account_commands.h"
#include "cli/commands.h"
#include "cli/process_guard.h"
#include "cli/terminal_output.h"
#include "xmlrpc/host_setting.h"
#include "xmlrpc/http_settings.h"

namespace {

const CliCommand kCommands[] = {
    {"ip", "norvosms ip                 the public IP address as the service sees it", RunIpCommand},
    {"send", "norvosms send ... MESSAGE   send an SMS or LMS to one phone or a file of them (--help)", RunSendCommand},
    {"journal", "norvosms journal JOURNAL    the recipients of a batch and what became of each (--refresh, --json)",
     RunJournalCommand},
};

int Usage(std::FILE* to = stderr) {
  std::fprintf(to, "usage: norvosms COMMAND [ARGS...]\n");
  for (const auto& command : kCommands) std::fprintf(to, "  %s\n", command.usage);
  PrintAccountCommandUsage(to);
  std::fprintf(to, "  norvosms --version          the version of norvosms\n");
  std::fprintf(to, "Every command takes --help. The service endpoint is NORVOSMS_API_URL.\n");
  return to == stderr ? 2 : 0;
}

int Run(int argc, char** argv) {
  if (argc < 2) return Usage();
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("norvosms %s\n", NORVOSMS_VERSION);
    return 0;
  }
  // Settings that cannot be honoured stop every command before anything is sent.
  HttpSettings settings;
  std::string problem;
  const char* apiUrl = std::getenv("NORVOSMS_API_URL");
  if (ReadHttpSettings(settings, problem) && apiUrl && !(problem = UrlSettingProblem(apiUrl)).empty())
    problem = "NORVOSMS_API_URL cannot be honoured: " + problem;
  if (!problem.empty()) {
    std::fprintf(stderr, "norvosms %s: %s\n", argv[1], problem.c_str());
    return 2;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  for (int i = 2; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--key") == 0 && std::strcmp(argv[i + 1], "-") != 0) HideArgument(argv[i + 1]);
  for (const auto& command : kCommands)
    if (std::strcmp(argv[1], command.name) == 0) return command.run(args);
  if (const AccountCommand* command = FindAccountCommand(argv[1])) return RunAccountCommand(*command, args);
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "help") == 0)
    return Usage(stdout);
  return Usage();
}

}  // namespace

int main(int argc, char** argv) {
  DisableCoreDumps();  // the API key is in this process's memory
  FilterStandardOutput();
  WatchStandardOutput();
  const int status = Run(argc, argv);
  if (StandardOutputFailed()) {
    std::fprintf(stderr, "norvosms %s: %s\n", argc > 1 ? argv[1] : "", StandardOutputProblem().c_str());
    return 1;
  }
  return status;
}
