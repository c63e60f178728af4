// What the account commands share: their options, the login that opens a session, and how
// a failed call is reported.
#pragma once

#include <string>
#include <vector>

// One account command: its name, its positional arguments and what it does with a session.
struct AccountCommand {
  const char* name;
  const char* arguments;  // as the usage line shows them, e.g. "GROUP NAME PHONE [TEL] [EMAIL]"
  const char* summary;
  std::size_t minWords;
  std::size_t maxWords;
  // Runs after the login; returns the exit status.
  int (*run)(const struct AccountSession& session, const std::vector<std::string>& words);
};

struct AccountSession {
  std::string command;  // for messages: "norvosms groups"
  std::string id;
  std::string key;
  std::string ip;   // sent with the login
  std::string mac;  // the adapter address sent with the login and phone authentication
  // With --json (status only): where the command puts its JSON document instead of printing.
  std::string* json = nullptr;
};

// Options (--id, --key, --ip, --mac, --help), then InitDLL and CheckLogin, then the command,
// then FreeDll. Exit status: 0 done, 1 refused or failed, 2 bad usage.
int RunAccountCommand(const AccountCommand& command, const std::vector<std::string>& args);

// A text export's answer: false (with a message on standard error) for null and "error".
// The library has already printed the reason without a line end; this ends that line.
bool Answered(const AccountSession& session, const char* answer, const char* what);
// Prints the XML list answer as a table, or `none` when it holds no entries.
int PrintList(const AccountSession& session, const char* answer, const char* what, const char* none);
