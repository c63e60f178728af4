// The account commands of `norvosms`: login, account facts, address book, ARS list, history
// and phone authentication. Each logs in first (InitDLL, CheckLogin) and uses only the exports.
#pragma once

#include <cstdio>

#include "cli/account_session.h"

// Null for a name that is no account command.
const AccountCommand* FindAccountCommand(const char* name);
// One usage line per account command, for the program's help text.
void PrintAccountCommandUsage(std::FILE* to);
