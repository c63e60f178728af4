#include <gtest/gtest.h>

#include <sstream>

#include "tests/xmlrpc/value_description.h"
#include "xmlrpc/xmlrpc_text.h"

namespace {

const std::string kHead = "<?xml version=\"1.0\"?>\r\n<methodCall><methodName>norvosms</methodName>\r\n<params>";
const std::string kTail = "</params></methodCall>\r\n";

std::string written(const XmlRpcValue& v) {
  std::ostringstream out;
  v.writeXml(out);
  return out.str();
}

std::string call(const XmlRpcValue& params) {
  std::ostringstream out;
  writeCall("norvosms", params, out);
  return out.str();
}

XmlRpcValue oneElementArray(const XmlRpcValue& element) {
  XmlRpcValue a;
  a.ensureArraySize(1);
  a.element(0) = element;
  return a;
}

TEST(WriteCall, ParameterShapes) {
  EXPECT_EQ(call(oneElementArray("")), kHead + "<param><value><string/></value></param>" + kTail);
  EXPECT_EQ(call(oneElementArray("<request/>")), kHead + "<param><value>&lt;request/&gt;</value></param>" + kTail);
  EXPECT_EQ(call(XmlRpcValue("")), kHead + "<param><value><string/></value></param>\n" + kTail);
  EXPECT_EQ(call(XmlRpcValue()), kHead + kTail);

  XmlRpcValue two;
  two.ensureArraySize(2);
  two.element(0) = XmlRpcValue::fromInt(1);
  two.element(1) = XmlRpcValue::fromBoolean(false);
  EXPECT_EQ(
      call(two),
      kHead + "<param><value><i4>1</i4></value></param><param><value><boolean>0</boolean></value></param>" + kTail);

  XmlRpcValue empty;
  empty.ensureArraySize(0);
  EXPECT_EQ(call(empty), kHead + kTail);

  std::ostringstream out;
  writeCall("a&b", XmlRpcValue(), out);  // the method name goes out unescaped
  EXPECT_NE(out.str().find("<methodName>a&b</methodName>"), std::string::npos);
}

TEST(WriteCall, InvalidElementThrowsAfterWhatWasWritten) {
  XmlRpcValue a;
  a.ensureArraySize(2);
  a.element(0) = "x";
  std::ostringstream out;
  try {
    writeCall("m", a, out);
    FAIL() << "no exception";
  } catch (const XmlRpcException& e) {
    EXPECT_EQ(e.message, "Undefined XmlRpc value");
  }
  EXPECT_EQ(out.str(), kHead.substr(0, kHead.find("norvosms")) +
                           "m</methodName>\r\n<params><param><value>x</value></param><param>");
}

struct WriteCase {
  const char* name;
  XmlRpcValue value;
  std::string text;
};

DateTimeRecord march5() {
  DateTimeRecord t;
  t.year = 2024;
  t.month = 2;
  t.day = 5;
  t.hour = 14;
  t.minute = 7;
  t.second = 9;
  return t;
}

XmlRpcValue sampleStruct() {
  XmlRpcValue s;
  s.member("b") = XmlRpcValue::fromInt(2);
  s.member("a") = "x<y";
  s.member("a&") = XmlRpcValue::nil();
  return s;
}

TEST(WriteXml, EveryType) {
  DateTimeRecord early;
  early.year = 999;
  early.month = 0;
  early.day = 1;
  DateTimeRecord wild;
  wild.year = -2000000000;
  wild.month = 2000000000;
  wild.day = -2000000000;
  // One case per line, the expected text whole: not reflowed.
  // clang-format off
  const WriteCase cases[] = {
      {"true", XmlRpcValue::fromBoolean(true), "<value><boolean>1</boolean></value>"},
      {"false", XmlRpcValue::fromBoolean(false), "<value><boolean>0</boolean></value>"},
      {"int", XmlRpcValue::fromInt(-2147483647 - 1), "<value><i4>-2147483648</i4></value>"},
      {"double six digits", XmlRpcValue::fromDouble(3.14159265), "<value><double>3.14159</double></value>"},
      {"double integral", XmlRpcValue::fromDouble(2.0), "<value><double>2</double></value>"},
      {"double large", XmlRpcValue::fromDouble(1e100), "<value><double>1e+100</double></value>"},
      {"double small", XmlRpcValue::fromDouble(-1.5e-7), "<value><double>-1.5e-07</double></value>"},
      {"empty string", XmlRpcValue(""), "<value><string/></value>"},
      {"escaped string", XmlRpcValue("a<b&'z\""), "<value>a&lt;b&amp;&apos;z&quot;</value>"},
      {"high bytes", XmlRpcValue("\xc7\xd1>"), "<value>\xc7\xd1&gt;</value>"},
      {"date", XmlRpcValue::fromDateTime(march5()), "<value><dateTime.iso8601>20240305T14:07:09</dateTime.iso8601></value>"},
      {"early year", XmlRpcValue::fromDateTime(early), "<value><dateTime.iso8601> 9990101T00:00:00</dateTime.iso8601></value>"},
      {"cut at 29", XmlRpcValue::fromDateTime(wild), "<value><dateTime.iso8601>-20000000002000000001-2000000</dateTime.iso8601></value>"},
      {"base64", XmlRpcValue::fromBase64({'A', 'B', 'C', 'D'}), "<value><base64>QUJDRA==</base64></value>"},
      {"empty base64", XmlRpcValue::fromBase64({}), "<value><base64></base64></value>"},
      {"month wraps", XmlRpcValue::fromDateTime([] { DateTimeRecord t; t.month = 2147483647; return t; }()),
       "<value><dateTime.iso8601>   0-214748364800T00:00:00</dateTime.iso8601></value>"},
      {"nil", XmlRpcValue::nil(), "<value><nil/></value>"},
      {"array", oneElementArray(oneElementArray(XmlRpcValue::fromInt(7))),
       "<value><array><data><value><array><data><value><i4>7</i4></value></data></array></value></data></array></value>"},
      {"struct in name order", sampleStruct(),
       "<value><struct><member><name>a</name><value>x&lt;y</value></member><member><name>a&amp;</name><value><nil/></value>"
       "</member><member><name>b</name><value><i4>2</i4></value></member></struct></value>\n"},
      {"empty struct", [] { XmlRpcValue s; s.ensureStruct(); return s; }(), "<value><struct></struct></value>\n"},
  };
  // clang-format on
  for (const WriteCase& c : cases) EXPECT_EQ(written(c.value), c.text) << c.name;
}

TEST(WriteXml, DoubleIgnoresGlobalLocaleAndStreamSettings) {
  std::ostringstream out;
  out.precision(2);
  out.setf(std::ios::fixed);
  XmlRpcValue::fromDouble(1234.5678).writeXml(out);
  EXPECT_EQ(out.str(), "<value><double>1234.57</double></value>");
}

TEST(WriteXml, InvalidMemberThrows) {
  XmlRpcValue s;
  s.member("missing");
  EXPECT_THROW(written(s), XmlRpcException);
  EXPECT_THROW(written(XmlRpcValue()), XmlRpcException);
}

TEST(EscapeText, OnlyTheFiveMarkupBytes) {
  EXPECT_EQ(escapeText(""), "");
  EXPECT_EQ(escapeText("&<>\"'"), "&amp;&lt;&gt;&quot;&apos;");
  EXPECT_EQ(escapeText("\t\r\n\x7f\x80\xff plain"), "\t\r\n\x7f\x80\xff plain");
}

}  // namespace
