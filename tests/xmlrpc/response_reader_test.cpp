#include <gtest/gtest.h>

#include <string>

#include "tests/xmlrpc/value_description.h"
#include "xmlrpc/xmlrpc_text.h"

namespace {

// "ok: ", "fault: " or "error: " with the message, then " | " and the result's description.
std::string respond(const std::string& body) {
  XmlRpcValue result;
  try {
    const bool ok = readResponse(body.c_str(), result);
    return std::string(ok ? "ok" : "fault") + " | " + describe(result);
  } catch (const XmlRpcException& e) {
    return "error: " + e.message + " | " + describe(result);
  }
}

const std::string kDecl = "<?xml version=\"1.0\"?>\r\n";

struct ResponseCase {
  std::string body;
  std::string expected;
};

TEST(ReadResponse, NormalAndFault) {
  const ResponseCase cases[] = {
      {kDecl + "<methodResponse><params><param><value>E001</value></param></params></methodResponse>", "ok | str:E001"},
      {"<?XML VERSION='1.0' encoding='UTF-8'?>\n<METHODRESPONSE>\n<PARAMS>\n<PARAM>\n<value><string>x</string></value>",
       "ok | str:x"},
      // Only the first parameter counts; nothing after it is looked at.
      {kDecl + "<methodResponse><params><param><value>1</value></param><param><value>2</value></param>garbage",
       "ok | str:1"},
      {kDecl +
           "<methodResponse><fault><value><struct><member><name>faultCode</name><value><int>4</int></value></member>"
           "<member><name>faultString</name><value><string>Too many parameters</string></value></member>"
           "</struct></value></fault>",
       "fault | {faultCode=int:4, faultString=str:Too many parameters}"},
      {kDecl + "<methodResponse>\n  <fault>\n<value><struct></struct></value>\n</fault></methodResponse>",
       "fault | {}"},
  };
  for (const ResponseCase& c : cases) EXPECT_EQ(respond(c.body), c.expected) << c.body;
}

TEST(ReadResponse, FailureMessages) {
  const std::string bom = "\xef\xbb\xbf" + kDecl + "<methodResponse>";
  const ResponseCase cases[] = {
      {"", "error:  | invalid"},
      {bom, "error: " + bom + " | invalid"},
      {"<html><body>Not Found</body></html>", "error: <body>Not Found</body></html> | invalid"},
      {"<?xml?><methodResponse>", "error: <methodResponse> | invalid"},
      {kDecl + "<html><head><title>Bad request!</title></head></html>",
       "error: Talking HTTP to a HTTPS server? | invalid"},
      {kDecl + "<html><body>Object ! found</body></html>", "error: Wrong URL (\"Object ! found\") | invalid"},
      {kDecl + "<methodCall>rest", "error: rest | invalid"},
      {kDecl + "<methodResponse><params><value>1</value>", "error: Expecting tag: <param> | invalid"},
      {kDecl + "<methodResponse><param><value>1</value>", "error: Expecting tag: <params> | invalid"},
      {kDecl + "<methodResponse><Fault><value>1</value></Fault>", "error: Expecting tag: <params> | invalid"},
      {kDecl + "<methodResponse><fault><value>1</value></params>", "error: Expecting tag: </fault> | str:1"},
      {kDecl + "<methodResponse><fault><value><struct><member><name>faultCode</name><value><int>4</int></value>"
               "</member><member>",
       "error: Expecting tag: <name> | {faultCode=int:4}"},
  };
  for (const ResponseCase& c : cases) EXPECT_EQ(respond(c.body), c.expected) << c.body;

  XmlRpcValue result;
  EXPECT_THROW(readResponse(nullptr, result), XmlRpcException);
}

}  // namespace
