// The subcommands of `norvosms`: each takes the words after its name and returns the exit status.
#pragma once

#include <string>
#include <vector>

struct CliCommand {
  const char* name;
  const char* usage;  // the line shown in the help text
  int (*run)(const std::vector<std::string>& args);
};

// `norvosms ip`: the public IP address as the service sees it.
int RunIpCommand(const std::vector<std::string>& args);
// `norvosms send`: one message, or a batch to the recipients of a file, with live progress.
// 0 when every message was accepted, 1 when some were not or went unanswered, 2 on bad input.
int RunSendCommand(const std::vector<std::string>& args);
// `norvosms journal JOURNAL`: a batch's recipients and their states as a table.
int RunJournalCommand(const std::vector<std::string>& args);
