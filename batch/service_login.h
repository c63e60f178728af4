// The login that the service asks of a client before it answers status calls, made the way
// the library's callers make it: CheckLogin with the public IP address the service reports and
// the first network adapter's address.
#pragma once

#include <string>

#include "batch/settling.h"

// The first adapter's hardware address as the desktop program writes it ("AA.BB.CC.DD.EE.FF"),
// or empty without an adapter.
std::string FirstAdapterAddress();

// Logs in the client that InitDLL made with this ID and key. False, with `problem`, when refused
// or when the service cannot be reached.
bool LogInClient(const std::string& userId, const std::string& apiKey, std::string& problem);

// Status calls through the exports, logging in before the first one.
StatusLookup LoggedInStatusLookup(const std::string& userId, const std::string& apiKey);
