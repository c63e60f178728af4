#include "tests/wire/wire_exports.h"

#include <functional>
#include <map>

#include "api/NorvoSMS.h"

namespace {

using Args = std::vector<std::string>;

std::string Text(const char* p) { return p ? std::string(p) : "(null)"; }

struct Export {
  std::size_t arity;
  std::function<std::string(const Args&)> run;
};

// One line per export: how many arguments it takes and how its result reads as text.
const std::map<std::string, Export>& Exports() {
  static const std::map<std::string, Export> table = {
      {"InitDLL", {2, [](const Args& a) { InitDLL(a[0], a[1]); return std::string(); }}},
      {"InitHostIP", {0, [](const Args&) { InitHostIP(); return std::string(); }}},
      {"HostIPSMS", {0, [](const Args&) { return Text(HostIPSMS()); }}},
      {"FreeDll", {0, [](const Args&) { FreeDll(); return std::string(); }}},
  };
  return table;
}

}  // namespace

bool RunExport(const std::string& name, const std::vector<std::string>& args, std::string& result) {
  auto it = Exports().find(name);
  if (it == Exports().end()) {
    result = "unknown export " + name;
    return false;
  }
  if (args.size() != it->second.arity) {
    result = name + " takes " + std::to_string(it->second.arity) + " arguments";
    return false;
  }
  result = it->second.run(args);
  return true;
}
