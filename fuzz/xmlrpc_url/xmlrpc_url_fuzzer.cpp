// The endpoint URL comes from the environment: parsing it must hold for any text. Nothing is
// sent: the client only opens its WinInet handles, and ftp-like texts are refused.
#include <cstddef>
#include <cstdint>
#include <string>

#include "xmlrpc/xmlrpc_client.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string url(reinterpret_cast<const char*>(data), size);
  XmlRpcClient client(url.c_str());
  if (client.urlProtocol() < 0 || client.urlProtocol() > 2) __builtin_trap();
  if (client.urlPort() < 0 || client.urlPort() > 65535) __builtin_trap();
  if (client.lastError().size() > kXmlRpcMaxErrorText) __builtin_trap();
  return 0;
}
