#include "cli/account_session.h"
#include "cli/option_values.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "api/NorvoSMS.h"
#include "batch/service_login.h"
#include "cli/api_key_source.h"
#include "cli/send_output.h"
#include "cli/terminal_output.h"
#include "cli/xml_list.h"

namespace {

void Usage(const AccountCommand& command, std::FILE* to) {
  std::fprintf(to,
               "usage: norvosms %s [options]%s%s\n"
               "  %s\n"
               "options:\n"
               "  --id ID      user ID (default: NORVOSMS_ID)\n"
               "  --key-file FILE  read the API key from FILE; --key - reads standard input\n"
               "  --key KEY    the API key itself, seen by other users (default: NORVOSMS_API_KEY)\n"
               "  --ip IP      IP address sent with the login (default: the public address the\n"
               "               service reports)\n"
               "  --mac ADDR   adapter address sent with the login and phone authentication\n"
               "               (default: the first network adapter's)\n"
               "  --help       this text\n",
               command.name, *command.arguments ? " " : "", command.arguments, command.summary);
}

// Log in as the library's callers do: InitDLL, then CheckLogin with the same ID and key.
bool LogIn(AccountSession& session) {
  InitDLL(session.id, session.key);
  if (session.ip.empty()) {
    const char* ip = HostIPSMS();
    if (!Answered(session, ip, "the public IP address")) return false;
    session.ip = ip;
  }
  const char* answer = CheckLogin(session.id, session.key, session.ip, session.mac);
  if (!Answered(session, answer, "the login")) return false;
  if (!*answer) {
    std::fprintf(stderr, "%s: login refused for user %s (wrong user ID or API key?)\n", session.command.c_str(),
                 session.id.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool Answered(const AccountSession& session, const char* answer, const char* what) {
  if (answer && std::strcmp(answer, "error") != 0) return true;
  EndOpenOutputLine();  // the library's reason has no line end
  std::fprintf(stderr, "%s: %s failed\n", session.command.c_str(), what);
  return false;
}

int PrintList(const AccountSession& session, const char* answer, const char* what, const char* none) {
  if (!Answered(session, answer, what)) return 1;
  XmlList list = ReadXmlList(answer);
  if (!list.ok) {
    std::fprintf(stderr, "%s: the service's answer is not readable\n", session.command.c_str());
    return 1;
  }
  if (list.rows == 0) {
    std::printf("%s\n", list.value.empty() ? none : list.value.c_str());
  } else {
    std::fputs(list.table.c_str(), stdout);
  }
  return 0;
}

int RunAccountCommand(const AccountCommand& command, const std::vector<std::string>& args) {
  AccountSession session;
  session.command = std::string("norvosms ") + command.name;
  session.id = UserIdFromEnvironment();
  ApiKeySource keySource;
  bool macGiven = false;
  bool json = false;
  std::vector<std::string> words;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      Usage(command, stdout);
      return 0;
    }
    std::string* into = UserOptionValue(arg, session.id, keySource);
    if (!into) into = arg == "--ip" ? &session.ip : arg == "--mac" ? &session.mac : nullptr;
    if (into) {
      std::string problem;
      if (!TakeOptionValue(args, i, *into, problem)) {
        std::fprintf(stderr, "%s: %s\n", session.command.c_str(), problem.c_str());
        return 2;
      }
      macGiven = macGiven || arg == "--mac";
    } else if (arg == "--json" && std::strcmp(command.name, "status") == 0) {
      json = true;
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      std::fprintf(stderr, "%s: unknown option %s\n", session.command.c_str(), arg.c_str());
      Usage(command, stderr);
      return 2;
    } else {
      words.push_back(arg);
    }
  }
  if (words.size() < command.minWords || words.size() > command.maxWords) {
    Usage(command, stderr);
    return 2;
  }
  std::string problem;
  if (!ResolveApiKey(session.command, keySource, session.key, problem)) {
    std::fprintf(stderr, "%s: %s\n", session.command.c_str(), problem.c_str());
    return 2;
  }
  if (session.id.empty() || session.key.empty()) {
    std::fprintf(stderr, "%s: no user ID or API key (--id and --key, or NORVOSMS_ID and NORVOSMS_API_KEY)\n",
                 session.command.c_str());
    return 2;
  }
  if (!macGiven) session.mac = FirstAdapterAddress();
  JsonChannel channel;  // the library's failure texts must not land inside the document
  std::string document;
  if (json) {
    if (!channel.Begin()) {
      std::fprintf(stderr, "%s: cannot set standard output aside for --json\n", session.command.c_str());
      return 1;
    }
    session.json = &document;
  }

  int status = LogIn(session) ? command.run(session, words) : 1;
  std::fflush(stdout);
  FreeDll();
  if (json && status == 0 && !channel.Write(document)) {
    std::fprintf(stderr, "%s: cannot write the JSON document\n", session.command.c_str());
    status = 1;
  }
  return status;
}
