// Runs an export by name with text arguments and gives its result as text.
#pragma once

#include <string>
#include <vector>

// false when the name is unknown or the argument count is wrong (`result` says which).
bool RunExport(const std::string& name, const std::vector<std::string>& args, std::string& result);
