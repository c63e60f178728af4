#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/xmlrpc/value_description.h"
#include "xmlrpc/xmlrpc_text.h"

namespace {

// Reads one value; gives its description, or "error: " and the message followed by
// " | " and what the value held when the failure struck.
std::string readValue(const std::string& text) {
  XmlRpcValue v = XmlRpcValue::fromInt(99);  // readXml must clear whatever was there
  const char* cursor = text.c_str();
  try {
    v.readXml(cursor);
  } catch (const XmlRpcException& e) {
    return "error: " + e.message + " | " + describe(v);
  }
  return describe(v);
}

struct ReadCase {
  const char* text;
  const char* expected;
};

TEST(ReadXml, ShorthandAndTypedForms) {
  const ReadCase cases[] = {
      {"<value>  abc</value>", "str:abc"},
      {"<value>abc  </value>", "str:abc  "},
      {"<value></value>", "str:"},
      {"<value/>", "str:"},
      {"  <VALUE><STRING/></VALUE>", "str:"},
      {"<value><string>a&lt;b&#65;</string></value>", "str:a<bA"},
      {"<value><string></string></value>", "str:"},
      {"<value><boolean>1</boolean></value>", "bool:1"},
      {"<value><BOOLEAN>0</BOOLEAN>\n</value>", "bool:0"},
      {"<value><i4>12</i4></value>", "int:12"},
      {"<value><int> -7 </int></value>", "int:-7"},
      {"<value><int>+7</int></value>", "int:7"},
      {"<value><i4>99999999999</i4></value>", "int:2147483647"},
      {"<value><i4>-99999999999999999999999</i4></value>", "int:-2147483648"},
      {"<value><double>-2.5</double></value>", "double:-2.5"},
      {"<value><double> 1e3</double></value>", "double:1000"},
      {"<value><double>+0.5</double></value>", "double:0.5"},
      {"<value><double>1e999</double></value>", "double:inf"},
      {"<value><double>-1e-999</double></value>", "double:-0"},
      {"<value><dateTime.iso8601>20240305T14:07:09</dateTime.iso8601></value>", "time:y2024 m2 d5 14:7:9 dst-1"},
      {"<value><dateTime.iso8601>20240305T 1: 2: 3</dateTime.iso8601></value>", "time:y2024 m2 d5 1:2:3 dst-1"},
      // The written form of a year below 1000 is space-padded, and reads back differently.
      {"<value><dateTime.iso8601> 9990101T00:00:00</dateTime.iso8601></value>", "time:y9990 m9 d1 0:0:0 dst-1"},
      {"<value><dateTime.iso8601>20240305T14:07:09Z</dateTime.iso8601></value>", "time:y2024 m2 d5 14:7:9 dst-1"},
      {"<value><base64>QUJD\nREVG</base64></value>", "bin:ABCDEF"},
      {"<value><base64></base64></value>", "bin:"},
      {"<value><nil/></value>", "nil"},
      {"<value><struct/></value>", "{}"},
      {"<value><struct></struct></value>", "{}"},
      {"<value></value >", "error: Unknown type tag: </value > | invalid"},
      {"<value><array><data/></array></value>", "[]"},
      {"<value><array><data>\n</data></array></value>", "[]"},
      {"<value><array><data><value>1</value>\n<value><i4>2</i4></value></data></array></value>", "[str:1, int:2]"},
      {"<value><struct>\n<member>\n<name>b</name>\n<value>2</value>\n</member><member><name>a&amp;</name><value/></"
       "member>"
       "</struct></value>",
       "{a&=str:, b=str:2}"},
      {"<value><struct><member><name>a</name><value>first</value></member><member><name>a</name><value>second</value>"
       "</member></struct></value>",
       "{a=str:first}"},
  };
  for (const ReadCase& c : cases) EXPECT_EQ(readValue(c.text), c.expected) << c.text;
}

TEST(ReadXml, FailureMessagesKeepWhatWasRead) {
  const ReadCase cases[] = {
      {"", "error: Expecting tag: <value> | invalid"},
      {"abc", "error: Expecting tag: <value> | invalid"},
      {"<values>", "error: Expecting tag: <value> | invalid"},
      {"<value><boolean> 1</boolean></value>", "error: bad BOOL | invalid"},
      {"<value><boolean>2</boolean></value>", "error: bad BOOL | invalid"},
      {"<value><boolean>1", "error: bad BOOL | invalid"},
      {"<value><i4>12</int></value>", "error: Expecting tag: </i4> | int:12"},
      {"<value><i4>x</i4></value>", "error: Bad integer | invalid"},
      {"<value><double>x</double></value>", "error: Bad double | invalid"},
      {"<value><double></double></value>", "error: Bad double | invalid"},
      {"<value><string>abc", "error: Bad string | invalid"},
      {"<value><dateTime.iso8601>2024", "error: Bad time value | invalid"},
      {"<value><dateTime.iso8601>2024-03-05T14:07:09</dateTime.iso8601></value>", "error: Bad time value | invalid"},
      {"<value><dateTime.iso8601>20240305 14:07:09</dateTime.iso8601></value>", "error: Bad time value | invalid"},
      {"<value><base64>QUJD", "error: Bad base64 | invalid"},
      {"<value><float>1</float></value>", "error: Unknown type tag: <float> | invalid"},
      {"<value><i4>1</i4>", "error: Expecting tag: </value> | int:1"},
      {"<value><array><value>1</value></array></value>", "error: Expecting tag:  <data> | []"},
      {"<value><array><data><value>1</value>", "error: Expecting tag: <value> | [str:1, invalid]"},
      {"<value><array><data><value>1</value></DATA></array></value>",
       "error: Expecting tag: <value> | [str:1, invalid]"},
      {"<value><array><data></data></value>", "error: Expecting tag: </array> | []"},
      {"<value><struct><member><name>a</name><value>1</value></member><Member><name>b</name><value>2</value></member>"
       "</struct></value>",
       "error: Expecting tag: </struct> | {a=str:1}"},
      {"<value><struct><member><name>a</name><value>1</value></member><member><name>b</name><value><i4>x</i4></value>",
       "error: Bad integer | {a=str:1}"},
      {"<value><struct><member><value>1</value></member></struct></value>", "error: Expecting tag: <name> | {}"},
      {"<value><struct><member><name>abc", "error: Bad 'name' tag in struct | {}"},
      {"<value><struct><member><name>a</name><value>1</value></struct></value>",
       "error: Expecting tag: </member> | {a=str:1}"},
  };
  for (const ReadCase& c : cases) EXPECT_EQ(readValue(c.text), c.expected) << c.text;
}

TEST(ReadXml, DoubleOutOfRangeWithoutExponent) {
  EXPECT_EQ(readValue("<value><double>0." + std::string(400, '0') + "1</double></value>"), "double:0");
  EXPECT_EQ(readValue("<value><double>-1" + std::string(400, '0') + ".5</double></value>"), "double:-inf");
}

TEST(ReadXml, CursorEndsAfterTheValue) {
  const std::string text = "<value><i4>5</i4></value> <value>next</value>";
  const char* cursor = text.c_str();
  XmlRpcValue v;
  v.readXml(cursor);
  EXPECT_EQ(std::string(cursor), " <value>next</value>");
  v.readXml(cursor);
  EXPECT_EQ(v.asString(), "next");
  EXPECT_EQ(*cursor, '\0');
}

TEST(ReadXml, ArrayGrowsOneElementAtATime) {
  std::string text = "<value><array><data>";
  for (int i = 0; i < 5; ++i) text += "<value><i4>" + std::to_string(i) + "</i4></value>";
  text += "</data></array></value>";
  const char* cursor = text.c_str();
  XmlRpcValue v;
  v.readXml(cursor);
  EXPECT_EQ(v.size(), 5);
  EXPECT_EQ(v.capacity(), 8);
  EXPECT_EQ(v.element(4).asInt(), 4);
}

std::string nested(const char* open, const char* close, int levels) {
  std::string text;
  for (int i = 0; i < levels; ++i) text += open;
  text += "<value>leaf</value>";
  for (int i = 0; i < levels; ++i) text += close;
  return text;
}

TEST(ReadXml, NestingIsBounded) {
  const char* arrayOpen = "<value><array><data>";
  const char* arrayClose = "</data></array></value>";
  const char* structOpen = "<value><struct><member><name>n</name>";
  const char* structClose = "</member></struct></value>";

  XmlRpcValue v;
  std::string deepest = nested(arrayOpen, arrayClose, kXmlRpcMaxNesting);
  const char* cursor = deepest.c_str();
  v.readXml(cursor);
  EXPECT_EQ(*cursor, '\0');
  deepest = nested(structOpen, structClose, kXmlRpcMaxNesting);
  cursor = deepest.c_str();
  v.readXml(cursor);
  EXPECT_EQ(*cursor, '\0');

  const std::string tooDeep = "error: Value nested too deeply: more than 128 levels of array or struct";
  EXPECT_EQ(readValue(nested(arrayOpen, arrayClose, kXmlRpcMaxNesting + 1)).substr(0, tooDeep.size()), tooDeep);
  EXPECT_EQ(readValue(nested(structOpen, structClose, kXmlRpcMaxNesting + 1)).substr(0, tooDeep.size()), tooDeep);
  // Far beyond any stack: refused quickly, and the partial tree is freed without trouble.
  EXPECT_EQ(readValue(nested(arrayOpen, arrayClose, 200000)).substr(0, tooDeep.size()), tooDeep);
}

TEST(NextTag, CutsLongTagsAndStopsOnText) {
  const std::string longTag = "<" + std::string(200, 'x') + ">rest";
  const char* cursor = longTag.c_str();
  const std::string tag = nextTag(cursor);
  EXPECT_EQ(tag.size(), 127u);
  EXPECT_EQ(tag, longTag.substr(0, 127));
  EXPECT_EQ(std::string(cursor), "rest");

  const char* text = " \t\r\nabc<x>";
  cursor = text;
  EXPECT_EQ(nextTag(cursor), "");
  EXPECT_EQ(cursor, text + 4);

  const char* open = "  <never closed";
  cursor = open;
  EXPECT_EQ(nextTag(cursor), "");
  EXPECT_EQ(cursor, open + 2);

  const char* exact =
      "<"
      "123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890"
      "12345678901234567890123456789012345>";
  cursor = exact;
  EXPECT_EQ(nextTag(cursor).size(), 127u);

  const std::string longValue = "<value><" + std::string(300, 'q') + "></value>";
  EXPECT_EQ(readValue(longValue), "error: Unknown type tag: <" + std::string(126, 'q') + " | invalid");
}

TEST(ExpectTag, CaseInsensitive) {
  const char* text = "\n<PARAMS><param>";
  const char* cursor = text;
  EXPECT_NO_THROW(expectTag("<params>", cursor));
  try {
    expectTag("<value>", cursor);
    FAIL();
  } catch (const XmlRpcException& e) {
    EXPECT_EQ(e.message, "Expecting tag: <value>");
  }
}

TEST(DecodeText, EntitiesInOrder) {
  const auto decode = [](const std::string& s) { return decodeText(s.data(), s.data() + s.size()); };
  EXPECT_EQ(decode("&amp;&quot;&apos;&#039;&lt;&gt;"), "&\"''<>");
  EXPECT_EQ(decode("&amp;lt;"), "&lt;");
  EXPECT_EQ(decode("&#65;&#66&#67;x"), "ABCx");
  EXPECT_EQ(decode("&#321;"), "A");  // low 8 bits
  // 10^80 - 1 leaves 255 in its low 8 bits; any length of digits is safe.
  EXPECT_EQ(decode("&#99999999999999999999999999999999999999999999999999999999999999999999999999999999;"), "\xff");
  EXPECT_EQ(decode("a&#x41;b"), "a");  // hexadecimal is not known: a zero byte ends the text
  EXPECT_EQ(decode("a&#0;b"), "a");
  EXPECT_EQ(decode("&nbsp; & &"), "&nbsp; & &");
  EXPECT_EQ(decode("&am"), "&am");
  EXPECT_EQ(decode("\xc7\xd1&#44097;"),
            "\xc7\xd1"
            "A");  // a character reference above 255 keeps only its low byte
}

}  // namespace
