#include <cstring>

#include "text/ascii_case.h"
#include "xmlrpc/xmlrpc_text.h"
#include "xmlrpc/xmlrpc_text_internal.h"

namespace {

const char kXmlDeclarationStart[] = "<?xml version";

}  // namespace

bool readResponse(const char* response, XmlRpcValue& result) {
  const char* body = response ? response : "";
  const char* cursor = body;
  const std::string t = nextTag(cursor);
  if (!StartsWithNoCase(t, kXmlDeclarationStart)) throw XmlRpcException(t.empty() ? body : cursor);

  const std::string u = nextTag(cursor);
  if (!EqualsNoCase(u, "<methodResponse>")) {
    // Web servers answer a wrong scheme or path with a page of their own. Both texts are
    // exact on purpose ("a HTTPS", "Object ! found"): callers may compare them.
    if (std::strstr(cursor, "<title>Bad request!</title>")) throw XmlRpcException("Talking HTTP to a HTTPS server?");
    if (std::strstr(cursor, "Object ! found")) throw XmlRpcException("Wrong URL (\"Object ! found\")");
    throw XmlRpcException(cursor);
  }

  skipXmlRpcWhitespace(cursor);
  if (std::strncmp(cursor, "<fault>", 7) == 0) {
    expectTag("<fault>", cursor);
    result.readXml(cursor);
    expectTag("</fault>", cursor);
    return false;
  }
  // Only the first parameter is read; what follows it is never looked at.
  expectTag("<params>", cursor);
  expectTag("<param>", cursor);
  result.readXml(cursor);
  return true;
}
