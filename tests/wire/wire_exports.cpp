#include "tests/wire/wire_exports.h"

#include <functional>
#include <map>

#include "api/NorvoSMS.h"
#include "tests/wire/wire_send.h"

namespace {

using Args = std::vector<std::string>;

std::string Text(const char* p) { return p ? std::string(p) : "(null)"; }

struct Export {
  std::size_t arity;
  std::function<std::string(const Args&)> run;
};

// One line per export: how many arguments it takes and how its result reads as text.
const std::map<std::string, Export>& Exports() {
  // One line per export: not reflowed.
  // clang-format off
  static const std::map<std::string, Export> table = {
      {"InitDLL", {2, [](const Args& a) { InitDLL(a[0], a[1]); return std::string(); }}},
      {"InitHostIP", {0, [](const Args&) { InitHostIP(); return std::string(); }}},
      {"HostIPSMS", {0, [](const Args&) { return Text(HostIPSMS()); }}},
      {"FreeDll", {0, [](const Args&) { FreeDll(); return std::string(); }}},
      {"CheckLogin", {4, [](const Args& a) { return Text(CheckLogin(a[0], a[1], a[2], a[3])); }}},
      {"PhoneAuth", {2, [](const Args& a) { return Text(PhoneAuth(a[0], a[1])); }}},
      {"ReSendAuthNum", {2, [](const Args& a) { return Text(ReSendAuthNum(a[0], a[1])); }}},
      {"AuthNumCheck", {2, [](const Args& a) { return Text(AuthNumCheck(a[0], a[1])); }}},
      {"GetSmsUserName", {0, [](const Args&) { return Text(GetSmsUserName()); }}},
      {"GetUserPhoneNum", {0, [](const Args&) { return Text(GetUserPhoneNum()); }}},
      {"GetSmsCount", {0, [](const Args&) { return std::to_string(GetSmsCount()); }}},
      {"GetArsCount", {0, [](const Args&) { return std::to_string(GetArsCount()); }}},
      {"PhoneBookGroupList", {0, [](const Args&) { return Text(PhoneBookGroupList()); }}},
      {"PhoneBookList", {1, [](const Args& a) { return Text(PhoneBookList(a[0])); }}},
      {"InsertGroup", {1, [](const Args& a) { return Text(InsertGroup(a[0])); }}},
      {"InsertPhoneList",
       {5, [](const Args& a) { return std::to_string(InsertPhoneList(a[0], a[1], a[2], a[3], a[4])); }}},
      {"GetARSGroupList", {0, [](const Args&) { return Text(GetARSGroupList()); }}},
      {"RecentSendList", {0, [](const Args&) { return Text(RecentSendList()); }}},
      {"GetStatusByRef_All", {1, [](const Args& a) { return Text(GetStatusByRef_All(a[0])); }}},
      {"SendSMS", {6, [](const Args& a) { return SendOneAndCollect(false, a); }}},
      {"SendLMS", {7, [](const Args& a) { return SendOneAndCollect(true, a); }}},
      {"CreateThreadDll", {0, [](const Args&) { CreateThreadDll(); return std::string(); }}},
      {"StartSMS", {0, [](const Args&) { StartSMS(); return std::string(); }}},
      {"StopSMS", {0, [](const Args&) { StopSMS(); return std::string(); }}},
      {"DestroyThread", {0, [](const Args&) { DestroyThread(); return std::string(); }}},
      {"ThreadIsFinished", {0, [](const Args&) { return std::string(ThreadIsFinished() ? "true" : "false"); }}},
  };
  // clang-format on
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
