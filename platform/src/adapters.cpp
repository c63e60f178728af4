// IP Helper on getifaddrs: AF_PACKET entries with a 6-byte hardware address, loopback left out,
// in the order the kernel lists them. NORVOSMS_ADAPTERS ("aa:bb:cc:dd:ee:ff,...", empty for
// none) replaces that list.
#include <iphlpapi.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kMaxAdapters = 256;
constexpr std::size_t kMacLength = 6;

struct Adapter {
  std::string name;
  BYTE mac[kMacLength] = {};
  DWORD index = 0;
  std::string ip = "0.0.0.0";
  std::string mask = "0.0.0.0";
};

bool ParseMac(const std::string& text, BYTE (&mac)[kMacLength]) {
  unsigned int b[kMacLength];
  char tail = 0;
  if (std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5], &tail) != 6)
    return false;
  for (std::size_t i = 0; i < kMacLength; ++i) mac[i] = static_cast<BYTE>(b[i]);
  return true;
}

std::vector<Adapter> AdaptersFromVariable(const char* list) {
  std::vector<Adapter> adapters;
  std::string text(list);
  std::size_t start = 0;
  while (start <= text.size() && adapters.size() < kMaxAdapters) {
    std::size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    Adapter adapter;
    if (ParseMac(text.substr(start, end - start), adapter.mac)) {
      adapter.index = static_cast<DWORD>(adapters.size() + 1);
      adapter.name = "test" + std::to_string(adapters.size());
      adapters.push_back(adapter);
    }
    start = end + 1;
  }
  return adapters;
}

std::vector<Adapter> AdaptersFromSystem() {
  std::vector<Adapter> adapters;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return adapters;
  for (ifaddrs* it = list; it && adapters.size() < kMaxAdapters; it = it->ifa_next) {
    if (!it->ifa_addr || it->ifa_addr->sa_family != AF_PACKET || (it->ifa_flags & IFF_LOOPBACK)) continue;
    const auto* link = reinterpret_cast<const sockaddr_ll*>(it->ifa_addr);
    if (link->sll_halen != kMacLength) continue;
    Adapter adapter;
    adapter.name = it->ifa_name ? it->ifa_name : "";
    std::memcpy(adapter.mac, link->sll_addr, kMacLength);
    adapter.index = static_cast<DWORD>(link->sll_ifindex);
    adapters.push_back(adapter);
  }
  for (ifaddrs* it = list; it; it = it->ifa_next) {
    if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET || !it->ifa_name) continue;
    for (Adapter& adapter : adapters) {
      if (adapter.name != it->ifa_name || adapter.ip != "0.0.0.0") continue;
      char text[INET_ADDRSTRLEN] = {};
      inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(it->ifa_addr)->sin_addr, text, sizeof text);
      adapter.ip = text;
      if (it->ifa_netmask) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(it->ifa_netmask)->sin_addr, text, sizeof text);
        adapter.mask = text;
      }
    }
  }
  freeifaddrs(list);
  return adapters;
}

void CopyText(char* field, std::size_t size, const std::string& text) {
  std::snprintf(field, size, "%s", text.c_str());
}

}  // namespace

// Records are laid out one after another in the caller's buffer, linked through Next.
extern "C" DWORD WINAPI GetAdaptersInfo(PIP_ADAPTER_INFO pAdapterInfo, ULONG* pOutBufLen) {
  if (!pOutBufLen) return ERROR_INVALID_PARAMETER;
  const char* variable = std::getenv("NORVOSMS_ADAPTERS");
  std::vector<Adapter> adapters = variable ? AdaptersFromVariable(variable) : AdaptersFromSystem();
  if (adapters.empty()) return ERROR_NO_DATA;
  const ULONG needed = static_cast<ULONG>(adapters.size() * sizeof(IP_ADAPTER_INFO));
  if (!pAdapterInfo || *pOutBufLen < needed) {
    *pOutBufLen = needed;
    return ERROR_BUFFER_OVERFLOW;
  }
  auto* out = reinterpret_cast<unsigned char*>(pAdapterInfo);
  for (std::size_t i = 0; i < adapters.size(); ++i) {
    const Adapter& a = adapters[i];
    IP_ADAPTER_INFO record;
    std::memset(&record, 0, sizeof record);
    record.Next = i + 1 < adapters.size() ? pAdapterInfo + i + 1 : nullptr;
    record.ComboIndex = a.index;
    CopyText(record.AdapterName, sizeof record.AdapterName, a.name);
    CopyText(record.Description, sizeof record.Description, a.name);
    record.AddressLength = kMacLength;
    std::memcpy(record.Address, a.mac, kMacLength);
    record.Index = a.index;
    record.Type = MIB_IF_TYPE_ETHERNET;
    CopyText(record.IpAddressList.IpAddress.String, sizeof record.IpAddressList.IpAddress.String, a.ip);
    CopyText(record.IpAddressList.IpMask.String, sizeof record.IpAddressList.IpMask.String, a.mask);
    CopyText(record.GatewayList.IpAddress.String, sizeof record.GatewayList.IpAddress.String, "0.0.0.0");
    CopyText(record.GatewayList.IpMask.String, sizeof record.GatewayList.IpMask.String, "0.0.0.0");
    std::memcpy(out + i * sizeof record, &record, sizeof record);
  }
  *pOutBufLen = needed;
  return ERROR_SUCCESS;
}
