// The options of a subcommand that take the next word as their value ("--report FILE"), read
// alike by every subcommand, the user's --id, --key and --key-file among them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "cli/api_key_source.h"

// Stores the word after the option args[i] in `into` and moves i onto it; false, with
// "OPTION needs a value" in `problem`, when the option is the last word.
bool TakeOptionValue(const std::vector<std::string>& args, std::size_t& i, std::string& into, std::string& problem);

// Where the value of `arg` goes when it is a user option: --id into `id`, --key into the key
// source, marked as given (so that reading the key can warn and refuse --key with --key-file),
// --key-file into its file; nullptr for any other word.
std::string* UserOptionValue(const std::string& arg, std::string& id, ApiKeySource& key);

// The user ID before any --id: NORVOSMS_ID, or empty.
std::string UserIdFromEnvironment();
