// Reading values: a cursor walks the text tag by tag; no general XML parser.
#include <cstring>
#include <string>

#include "text/decimal_number.h"
#include "text/ascii_case.h"
#include "xmlrpc/xmlrpc_base64.h"
#include "xmlrpc/xmlrpc_number_scan.h"
#include "xmlrpc/xmlrpc_text.h"
#include "xmlrpc/xmlrpc_text_internal.h"
#include "xmlrpc/xmlrpc_value.h"

namespace {

const std::string kTooDeep =
    "Value nested too deeply: more than " + std::to_string(kXmlRpcMaxNesting) + " levels of array or struct";

const char* requireLessThan(const char* cursor, const char* message) {
  const char* lt = std::strchr(cursor, '<');
  if (!lt) throw XmlRpcException(message);
  return lt;
}

bool startsWith(const char* cursor, const char* prefix) {
  return std::strncmp(cursor, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

void XmlRpcValue::readXml(const char*& cursor) { readXmlNested(cursor, 0); }

// `depth` counts the arrays and structs this value sits in.
void XmlRpcValue::readXmlNested(const char*& cursor, int depth) {
  clear();
  const std::string t = nextTag(cursor);
  if (!EqualsNoCase(t, "<value>")) {
    if (EqualsNoCase(t, "<value/>")) {
      ensureType(XmlRpcType::String);
      return;
    }
    throw XmlRpcException("Expecting tag: <value>");
  }
  const std::string u = nextTag(cursor);
  if (u.empty()) {
    // Untyped text is a string; the whitespace before it was skipped by nextTag.
    const char* end = findLessThanOrEnd(cursor);
    *this = XmlRpcValue(decodeText(cursor, end));
    cursor = end;
    expectTag("</value>", cursor);
    return;
  }

  if (EqualsNoCase(u, "<boolean>")) {
    if ((cursor[0] != '0' && cursor[0] != '1') || cursor[1] != '<') throw XmlRpcException("bad BOOL");
    *this = fromBoolean(cursor[0] == '1');
    ++cursor;
    expectTag("</boolean>", cursor);
  } else if (EqualsNoCase(u, "<i4>") || EqualsNoCase(u, "<int>")) {
    std::int32_t n = 0;
    if (!ScanDecimal(cursor, nullptr, n)) throw XmlRpcException("Bad integer");
    *this = fromInt(n);
    expectTag(EqualsNoCase(u, "<i4>") ? "</i4>" : "</int>", cursor);
  } else if (EqualsNoCase(u, "<double>")) {
    double d = 0;
    if (!scanDouble(cursor, d)) throw XmlRpcException("Bad double");
    *this = fromDouble(d);
    expectTag("</double>", cursor);
  } else if (EqualsNoCase(u, "<string>")) {
    const char* lt = requireLessThan(cursor, "Bad string");
    *this = XmlRpcValue(decodeText(cursor, lt));
    cursor = lt;
    expectTag("</string>", cursor);
  } else if (EqualsNoCase(u, "<dateTime.iso8601>")) {
    const char* lt = requireLessThan(cursor, "Bad time value");
    DateTimeRecord record;
    const char* p = cursor;
    // "%4d%2d%2dT%2d:%2d:%2d": every field may be preceded by whitespace.
    const bool complete = scanFixedWidthInt(p, lt, 4, record.year) && scanFixedWidthInt(p, lt, 2, record.month) &&
                          scanFixedWidthInt(p, lt, 2, record.day) && p < lt && *p++ == 'T' &&
                          scanFixedWidthInt(p, lt, 2, record.hour) && p < lt && *p++ == ':' &&
                          scanFixedWidthInt(p, lt, 2, record.minute) && p < lt && *p++ == ':' &&
                          scanFixedWidthInt(p, lt, 2, record.second);
    if (!complete) throw XmlRpcException("Bad time value");
    record.month -= 1;
    record.daylightSaving = -1;
    *this = fromDateTime(record);
    cursor = lt;
    expectTag("</dateTime.iso8601>", cursor);
  } else if (EqualsNoCase(u, "<base64>")) {
    const char* lt = requireLessThan(cursor, "Bad base64");
    *this = fromBase64(decodeBase64(cursor, lt));
    cursor = lt;
    expectTag("</base64>", cursor);
  } else if (EqualsNoCase(u, "<array>")) {
    if (depth >= kXmlRpcMaxNesting) throw XmlRpcException(kTooDeep);
    readArrayBody(cursor, depth);
    expectTag("</array>", cursor);
  } else if (EqualsNoCase(u, "<struct>")) {
    if (depth >= kXmlRpcMaxNesting) throw XmlRpcException(kTooDeep);
    readStructBody(cursor, depth);
    expectTag("</struct>", cursor);
  } else if (EqualsNoCase(u, "<string/>")) {
    ensureType(XmlRpcType::String);
  } else if (EqualsNoCase(u, "<nil/>")) {
    m_nType = XmlRpcType::Nil;
  } else if (EqualsNoCase(u, "<struct/>")) {
    ensureType(XmlRpcType::Struct);
  } else if (EqualsNoCase(u, "</value>")) {
    ensureType(XmlRpcType::String);
    return;
  } else {
    throw XmlRpcException("Unknown type tag: " + u);
  }
  expectTag("</value>", cursor);
}

void XmlRpcValue::readArrayBody(const char*& cursor, int depth) {
  ensureType(XmlRpcType::Array);
  const std::string v = nextTag(cursor);
  if (EqualsNoCase(v, "<data/>")) return;
  // Two blanks after the colon, unlike the other "Expecting tag: " texts: exact on purpose.
  if (!EqualsNoCase(v, "<data>")) throw XmlRpcException("Expecting tag:  <data>");
  for (;;) {
    skipXmlRpcWhitespace(cursor);
    if (startsWith(cursor, "</data>")) {
      expectTag("</data>", cursor);
      return;
    }
    // Appended before it is read, so a failure leaves the partial element in place.
    const int index = m_payload.array->count;
    growArray(index + 1);
    m_payload.array->elements[index].readXmlNested(cursor, depth + 1);
  }
}

void XmlRpcValue::readStructBody(const char*& cursor, int depth) {
  ensureType(XmlRpcType::Struct);
  skipXmlRpcWhitespace(cursor);
  while (startsWith(cursor, "<member>")) {
    cursor += std::strlen("<member>");
    expectTag("<name>", cursor);
    const char* lt = requireLessThan(cursor, "Bad 'name' tag in struct");
    std::string name = decodeText(cursor, lt);
    cursor = lt;
    expectTag("</name>", cursor);
    XmlRpcValue value;
    value.readXmlNested(cursor, depth + 1);
    // A repeated name keeps the member read first.
    m_payload.members->emplace(std::move(name), std::move(value));
    expectTag("</member>", cursor);
    skipXmlRpcWhitespace(cursor);
  }
}
