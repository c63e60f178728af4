// A compact, unambiguous text of a value's whole tree, for comparing in tests.
#pragma once

#include <cstdio>
#include <string>

#include "xmlrpc/xmlrpc_value.h"

inline std::string describeBytes(const std::string& bytes) {
  std::string out;
  for (const unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    }
  }
  return out;
}

inline std::string describe(const XmlRpcValue& v) {
  char buffer[96];
  switch (v.type()) {
    case XmlRpcType::Invalid: return "invalid";
    case XmlRpcType::Boolean: return v.asBoolean() ? "bool:1" : "bool:0";
    case XmlRpcType::Int: return "int:" + std::to_string(v.asInt());
    case XmlRpcType::Double: std::snprintf(buffer, sizeof buffer, "double:%.17g", v.asDouble()); return buffer;
    case XmlRpcType::String: return "str:" + describeBytes(XmlRpcValue(v).asString());
    case XmlRpcType::DateTime: {
      const DateTimeRecord& t = v.asDateTime();
      std::snprintf(buffer, sizeof buffer, "time:y%d m%d d%d %d:%d:%d dst%d", t.year, t.month, t.day, t.hour, t.minute,
                    t.second, t.daylightSaving);
      return buffer;
    }
    case XmlRpcType::Base64: {
      const BinaryData& b = v.asBinary();
      return "bin:" + describeBytes(std::string(b.begin(), b.end()));
    }
    case XmlRpcType::Array: {
      std::string out = "[";
      for (int i = 0; i < v.size(); ++i) out += (i ? ", " : "") + describe(v.element(i));
      return out + "]";
    }
    case XmlRpcType::Struct: {
      std::string out = "{";
      bool first = true;
      for (const auto& [name, member] : v.members()) {
        out += (first ? "" : ", ") + describeBytes(name) + "=" + describe(member);
        first = false;
      }
      return out + "}";
    }
    case XmlRpcType::Nil: return "nil";
  }
  return "?";
}
