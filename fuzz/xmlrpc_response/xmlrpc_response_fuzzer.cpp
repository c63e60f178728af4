// Feeds arbitrary bytes to the response reader, then writes and re-reads what it built.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "xmlrpc/xmlrpc_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The transport hands over a NUL-terminated body.
  const std::string body(reinterpret_cast<const char*>(data), size);
  XmlRpcValue result;
  bool read = false;
  try {
    readResponse(body.c_str(), result);
    read = true;
  } catch (const XmlRpcException&) {
  }
  if (!read) return 0;

  // A value read completely holds no Invalid part, so writing it must succeed.
  std::ostringstream out;
  try {
    result.writeXml(out);
  } catch (const XmlRpcException&) {
    std::abort();
  }
  const std::string text = out.str();
  const char* cursor = text.c_str();
  XmlRpcValue again;
  try {
    again.readXml(cursor);
  } catch (const XmlRpcException&) {
  }
  XmlRpcValue copy(again);
  copy = result;
  return 0;
}
