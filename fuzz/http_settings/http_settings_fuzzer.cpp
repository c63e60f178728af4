// The deadline, the answer cap and the address settings come from the environment: their checks
// must hold for any text. The first byte picks the check, the rest is the setting's text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "xmlrpc/host_setting.h"
#include "xmlrpc/http_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1) {
    unsigned long long value = 7;
    std::string problem;
    bool ok = http_settings::ParseBoundedSetting("NORVOSMS_TIMEOUT", text.c_str(), 1, 3600, "seconds", value, problem);
    if (ok != problem.empty() || (ok && (value < 1 || value > 3600)) || (!ok && value != 7)) __builtin_trap();
    if (problem.size() > 400) __builtin_trap();
  } else {
    std::string problem = (data[0] & 2) ? UrlSettingProblem(text) : HostSettingProblem(text);
    if (problem.size() > 200) __builtin_trap();
  }
  return 0;
}
