#include "cli/account_commands.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "api/NorvoSMS.h"
#include "batch/batch_report.h"
#include "batch/status_entries.h"
#include "cli/text_table.h"

namespace {

using Words = std::vector<std::string>;

int Login(const AccountSession& s, const Words&) {
  std::printf("logged in as %s\n", s.id.c_str());
  return 0;
}

int Info(const AccountSession& s, const Words&) {
  const char* name = GetSmsUserName();
  if (!Answered(s, name, "reading the account name")) return 1;
  std::string nameText = name;  // the next text call reuses the buffer
  int sms = GetSmsCount();
  if (sms < 0) return Answered(s, nullptr, "reading the SMS quantity"), 1;
  int ars = GetArsCount();
  if (ars < 0) return Answered(s, nullptr, "reading the ARS quantity"), 1;
  TextTable table({"field", "value"});
  table.AddRow({"user ID", s.id});
  table.AddRow({"name", nameText});
  table.AddRow({"SMS quantity", std::to_string(sms)});
  table.AddRow({"ARS quantity", std::to_string(ars)});
  std::fputs(table.Text().c_str(), stdout);
  return 0;
}

int Callbacks(const AccountSession& s, const Words&) {
  return PrintList(s, GetUserPhoneNum(), "reading the callback numbers", "(no callback numbers)");
}

int Groups(const AccountSession& s, const Words&) {
  return PrintList(s, PhoneBookGroupList(), "reading the groups", "(no groups)");
}

int Contacts(const AccountSession& s, const Words& w) {
  return PrintList(s, PhoneBookList(w.empty() ? "" : w[0]), "reading the address book (is the group there?)",
                   "(no entries)");
}

int AddGroup(const AccountSession& s, const Words& w) {
  const char* answer = InsertGroup(w[0]);
  if (!Answered(s, answer, "adding the group (does it exist already?)")) return 1;
  std::printf("group %s added\n", w[0].c_str());
  return 0;
}

int AddContact(const AccountSession& s, const Words& w) {
  const std::string tel = w.size() > 3 ? w[3] : "", email = w.size() > 4 ? w[4] : "";
  if (InsertPhoneList(w[0], w[1], w[2], tel, email) != 1) {
    Answered(s, nullptr, "adding the entry (is the group there?)");
    return 1;
  }
  std::printf("%s (%s) added to %s\n", w[1].c_str(), w[2].c_str(), w[0].c_str());
  return 0;
}

int Ars(const AccountSession& s, const Words&) {
  return PrintList(s, GetARSGroupList(), "reading the ARS list", "(no ARS entries)");
}

int Recent(const AccountSession& s, const Words&) {
  return PrintList(s, RecentSendList(), "reading the recent messages", "(nothing sent yet)");
}

int Status(const AccountSession& s, const Words& w) {
  const char* answer = GetStatusByRef_All(w[0]);
  if (s.json == nullptr) return PrintList(s, answer, "reading the status", "(no messages with this reference key)");
  if (!Answered(s, answer, "reading the status")) return 1;
  std::vector<StatusEntry> entries;
  std::string problem;
  if (!ReadStatusEntries(answer, entries, problem)) {
    std::fprintf(stderr, "%s: the service's status list cannot be read: %s\n", s.command.c_str(), problem.c_str());
    return 1;
  }
  std::string& out = *s.json;
  out = "{\"ref_key\": " + JsonString(w[0]) + ", \"count\": " + std::to_string(entries.size()) +
        ", \"capped\": " + (entries.size() >= kStatusListLimit ? "true" : "false") + ", \"entries\": [";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const StatusEntry& e = entries[i];
    out += std::string(i == 0 ? "\n  " : ",\n  ") + "{\"phone\": " + JsonString(e.phone) +
           ", \"kind\": " + JsonString(e.kind) + ", \"status\": " + JsonString(e.status) +
           ", \"code\": " + JsonString(e.code) + ", \"sent_at\": " + JsonString(e.sentAt) + "}";
  }
  out += entries.empty() ? "]}\n" : "\n]}\n";
  return 0;
}

// The phone-authentication answers are the service's own texts; empty means refused.
int ShowAnswer(const AccountSession& s, const char* answer, const char* what) {
  if (!Answered(s, answer, what)) return 1;
  if (!*answer) {
    std::fprintf(stderr, "%s: the service refused %s\n", s.command.c_str(), what);
    return 1;
  }
  std::printf("%s\n", answer);
  return 0;
}

int PhoneAuthCommand(const AccountSession& s, const Words& w) {
  return ShowAnswer(s, PhoneAuth(w[0], s.mac), "the authentication request");
}

int ResendAuth(const AccountSession& s, const Words& w) {
  return ShowAnswer(s, ReSendAuthNum(w[0], s.mac), "sending the number again");
}

int CheckAuth(const AccountSession& s, const Words& w) {
  return ShowAnswer(s, AuthNumCheck(s.mac, w[0]), "the number check");
}

const AccountCommand kAccountCommands[] = {
    {"login", "", "log in and say whether the service accepted the user ID and API key", 0, 0, Login},
    {"info", "", "the account's name and its SMS and ARS quantities", 0, 0, Info},
    {"callbacks", "", "the account's callback (sender) numbers", 0, 0, Callbacks},
    {"groups", "", "the address-book groups", 0, 0, Groups},
    {"contacts", "GROUP", "the entries of one address-book group (\"\" for all)", 1, 1, Contacts},
    {"add-group", "NAME", "add an address-book group", 1, 1, AddGroup},
    {"add-contact", "GROUP NAME PHONE [TEL] [EMAIL]", "add an entry to an address-book group", 3, 5, AddContact},
    {"ars", "", "the ARS list", 0, 0, Ars},
    {"recent", "", "the recently sent messages", 0, 0, Recent},
    {"status", "REFKEY", "the sending status of every message with this reference key (--json)", 1, 1, Status},
    {"phone-auth", "PHONE", "ask for an authentication number sent to PHONE", 1, 1, PhoneAuthCommand},
    {"resend-auth", "PHONE", "ask for the authentication number again", 1, 1, ResendAuth},
    {"check-auth", "NUMBER", "submit the authentication number received", 1, 1, CheckAuth},
};

}  // namespace

const AccountCommand* FindAccountCommand(const char* name) {
  for (const auto& command : kAccountCommands)
    if (std::strcmp(command.name, name) == 0) return &command;
  return nullptr;
}

void PrintAccountCommandUsage(std::FILE* to) {
  for (const auto& command : kAccountCommands) {
    std::string head = std::string("norvosms ") + command.name + (*command.arguments ? " " : "") + command.arguments;
    std::fprintf(to, "  %-28s%s%s\n", head.c_str(), head.size() < 28 ? "" : "\n                              ",
                 command.summary);
  }
}
