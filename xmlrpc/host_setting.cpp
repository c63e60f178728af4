#include "host_setting.h"

std::string HostSettingProblem(std::string_view authority) {
  if (authority.find('@') != std::string_view::npos) return "it has a user part (user@host), which is refused";
  if (!authority.empty() && authority.front() == '[') return "it names an IPv6 literal, which is not supported";
  std::size_t colon = authority.find(':');
  if (colon == std::string_view::npos) return "";
  std::string_view port = authority.substr(colon + 1);
  if (port.find(':') != std::string_view::npos) return "it names an IPv6 literal, which is not supported";
  if (port.empty()) return "its port is empty";
  unsigned long number = 0;
  for (char c : port) {
    if (c < '0' || c > '9' || number > 65535) return "its port is not a number from 1 to 65535";
    number = number * 10 + static_cast<unsigned long>(c - '0');
  }
  if (number < 1 || number > 65535) return "its port is not a number from 1 to 65535";
  return "";
}

std::string UrlSettingProblem(std::string_view url) {
  std::size_t start = url.find("://");
  start = start == std::string_view::npos ? 0 : start + 3;
  std::size_t end = url.find_first_of("/?#\\", start);
  return HostSettingProblem(url.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}
