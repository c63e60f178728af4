// Test helper for the interoperability check against Python's xmlrpc.client:
//   interop_tool emit   writes a method call holding one value of every kind
//   interop_tool read   reads a response body from stdin and prints the result as JSON
#include <cstdio>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "xmlrpc/xmlrpc_text.h"

namespace {

std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (const unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string jsonString(const std::string& ascii) {
  std::string out = "\"";
  for (const char c : ascii) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned char>(c));
      out += buffer;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// Strings and names travel as hex so that no byte is reinterpreted on the way.
std::string toJson(const XmlRpcValue& v) {
  char buffer[64];
  switch (v.type()) {
    case XmlRpcType::Invalid: return "{\"invalid\": null}";
    case XmlRpcType::Boolean: return std::string("{\"boolean\": ") + (v.asBoolean() ? "true" : "false") + "}";
    case XmlRpcType::Int: return "{\"int\": " + std::to_string(v.asInt()) + "}";
    case XmlRpcType::Double:
      std::snprintf(buffer, sizeof buffer, "%.17g", v.asDouble());
      return "{\"double\": \"" + std::string(buffer) + "\"}";
    case XmlRpcType::String: return "{\"string\": \"" + hex(XmlRpcValue(v).asString()) + "\"}";
    case XmlRpcType::DateTime: {
      const DateTimeRecord& t = v.asDateTime();
      std::snprintf(buffer, sizeof buffer, "[%d, %d, %d, %d, %d, %d]", t.year, t.month + 1, t.day, t.hour, t.minute,
                    t.second);
      return "{\"datetime\": " + std::string(buffer) + "}";
    }
    case XmlRpcType::Base64: {
      const BinaryData& b = v.asBinary();
      return "{\"base64\": \"" + hex(std::string(b.begin(), b.end())) + "\"}";
    }
    case XmlRpcType::Array: {
      std::string out = "{\"array\": [";
      for (int i = 0; i < v.size(); ++i) out += (i ? ", " : "") + toJson(v.element(i));
      return out + "]}";
    }
    case XmlRpcType::Struct: {
      std::string out = "{\"struct\": [";
      bool first = true;
      for (const auto& [name, member] : v.members()) {
        out += (first ? "[\"" : ", [\"") + hex(name) + "\", " + toJson(member) + "]";
        first = false;
      }
      return out + "]}";
    }
    case XmlRpcType::Nil: return "{\"nil\": null}";
  }
  return "null";
}

XmlRpcValue arrayOf(std::initializer_list<XmlRpcValue> items) {
  XmlRpcValue a;
  a.ensureArraySize(0);
  for (const XmlRpcValue& item : items) {
    const int n = a.size();
    a.ensureArraySize(n + 1);
    a.element(n) = item;
  }
  return a;
}

XmlRpcValue bytesOf(std::size_t n) {
  BinaryData b;
  for (std::size_t i = 0; i < n; ++i) b.push_back(static_cast<unsigned char>(i * 7 + 3));
  return XmlRpcValue::fromBase64(b);
}

// The catalogue the Python side expects, in this order.
XmlRpcValue catalogue() {
  DateTimeRecord t;
  t.year = 2024;
  t.month = 2;
  t.day = 5;
  t.hour = 14;
  t.minute = 7;
  t.second = 9;
  DateTimeRecord y2k;
  y2k.year = 1999;
  y2k.month = 11;
  y2k.day = 31;
  y2k.hour = 23;
  y2k.minute = 59;
  y2k.second = 58;

  XmlRpcValue record;
  record.member("zeta") = XmlRpcValue::fromInt(1);
  record.member("alpha") = "first";
  record.member("a<&>'\"") = XmlRpcValue::nil();
  record.member("이름") = "값";
  record.member("nested").member("list") = arrayOf({XmlRpcValue::fromBoolean(true), ""});
  XmlRpcValue emptyStruct;
  emptyStruct.ensureStruct();
  XmlRpcValue emptyArray;
  emptyArray.ensureArraySize(0);

  return arrayOf({
      XmlRpcValue::fromBoolean(true),
      XmlRpcValue::fromBoolean(false),
      XmlRpcValue::fromInt(0),
      XmlRpcValue::fromInt(-2147483647 - 1),
      XmlRpcValue::fromInt(2147483647),
      XmlRpcValue::fromDouble(1.5),
      XmlRpcValue::fromDouble(-0.25),
      XmlRpcValue::fromDouble(1e100),
      XmlRpcValue::fromDouble(3.14159265),
      XmlRpcValue(""),
      XmlRpcValue("plain text"),
      XmlRpcValue("a<b&'z\" > &amp;"),
      XmlRpcValue("안녕하세요, NorvoSMS"),
      XmlRpcValue("  tab\tand\nnewline  "),
      XmlRpcValue("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<request><sms-id>demo</sms-id></request>"),
      XmlRpcValue::fromDateTime(t),
      XmlRpcValue::fromDateTime(y2k),
      bytesOf(0),
      bytesOf(1),
      bytesOf(2),
      bytesOf(54),
      bytesOf(55),
      bytesOf(256),
      emptyArray,
      arrayOf({XmlRpcValue::fromInt(1), arrayOf({"two", arrayOf({XmlRpcValue::fromDouble(3)})})}),
      emptyStruct,
      record,
      XmlRpcValue::nil(),
  });
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  try {
    if (mode == "emit") {
      writeCall("interop.values", catalogue(), std::cout);
      return 0;
    }
    if (mode == "read") {
      const std::string body((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
      XmlRpcValue result;
      try {
        const bool ok = readResponse(body.c_str(), result);
        std::cout << "{\"ok\": " << (ok ? "true" : "false") << ", \"value\": " << toJson(result) << "}\n";
      } catch (const XmlRpcException& e) {
        std::cout << "{\"error\": " << jsonString(e.message) << "}\n";
      }
      return 0;
    }
  } catch (const XmlRpcException& e) {
    std::cerr << "interop_tool: " << e.message << "\n";
    return 1;
  }
  std::cerr << "usage: interop_tool emit|read\n";
  return 2;
}
