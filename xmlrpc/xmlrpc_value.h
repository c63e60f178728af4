// The XML-RPC variant value: a type tag and the payload it owns. Copies are deep.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

#include "xmlrpc/xmlrpc_exception.h"

// The codes are fixed; every dispatch on the type takes them in this order.
enum class XmlRpcType : std::int32_t {
  Invalid = 0,
  Boolean = 1,
  Int = 2,
  Double = 3,
  String = 4,
  DateTime = 5,
  Base64 = 6,
  Array = 7,
  Struct = 8,
  Nil = 9,
};

// Field order follows the C time record; the year is the full year, the month is 0-11.
struct DateTimeRecord {
  std::int32_t second = 0;
  std::int32_t minute = 0;
  std::int32_t hour = 0;
  std::int32_t day = 0;
  std::int32_t month = 0;
  std::int32_t year = 0;
  std::int32_t dayOfWeek = 0;
  std::int32_t dayOfYear = 0;
  std::int32_t daylightSaving = 0;
};

class XmlRpcValue;

// Slots past `count` up to `capacity` always hold Invalid values.
struct ArrayRecord {
  XmlRpcValue* elements = nullptr;
  std::int32_t count = 0;
  std::int32_t capacity = 0;
};

// std::string orders by char_traits<char>, which compares bytes as unsigned char.
using MemberMap = std::map<std::string, XmlRpcValue>;
using BinaryData = std::vector<unsigned char>;

class XmlRpcValue {
 public:
  XmlRpcValue() noexcept;
  // A String holding a copy of the text, up to its first NUL; null gives an empty String.
  XmlRpcValue(const char* text);
  XmlRpcValue(const std::string& text);
  XmlRpcValue(const XmlRpcValue& other);
  XmlRpcValue(XmlRpcValue&& other) noexcept;
  ~XmlRpcValue();

  XmlRpcValue& operator=(const XmlRpcValue& other);
  XmlRpcValue& operator=(XmlRpcValue&& other) noexcept;

  static XmlRpcValue fromBoolean(bool value);
  static XmlRpcValue fromInt(std::int32_t value);
  static XmlRpcValue fromDouble(double value);
  static XmlRpcValue fromDateTime(const DateTimeRecord& value);
  static XmlRpcValue fromBase64(BinaryData bytes);
  static XmlRpcValue nil();

  // Deep copy; assigning a value to itself does nothing.
  void assign(const XmlRpcValue& other);
  // Frees the whole payload tree; the value becomes Invalid.
  void clear() noexcept;

  XmlRpcType type() const noexcept { return m_nType; }
  // String length, byte count, element count or member count; "type error" otherwise.
  int size() const;

  void ensureArraySize(int n);
  XmlRpcValue& element(int index);
  const XmlRpcValue& element(int index) const;
  // Slots allocated for an array.
  int capacity() const;

  void ensureStruct();
  // Looks the name up, inserting an Invalid member when it is absent.
  XmlRpcValue& member(const std::string& name);
  bool hasMember(const std::string& name) const;
  const MemberMap& members() const;

  void ensureType(XmlRpcType t);
  // Int as decimal text; otherwise ensureType(String) and a copy of the text.
  std::string asString();

  // Typed reads of the payload; "type error" when the value has another type.
  bool asBoolean() const;
  std::int32_t asInt() const;
  double asDouble() const;
  const DateTimeRecord& asDateTime() const;
  const BinaryData& asBinary() const;

  // One <value> element; an Invalid value throws "Undefined XmlRpc value".
  void writeXml(std::ostream& out) const;
  // Clears this value, then reads one <value> element at the cursor and moves past it.
  void readXml(const char*& cursor);

 private:
  union Payload {
    bool boolean;
    std::int32_t integer;
    double real;
    std::string* text;
    DateTimeRecord* time;
    BinaryData* binary;
    ArrayRecord* array;
    MemberMap* members;
  };

  void readXmlNested(const char*& cursor, int depth);
  void readArrayBody(const char*& cursor, int depth);
  void readStructBody(const char*& cursor, int depth);
  void growArray(int n);
  void takeFrom(XmlRpcValue& other) noexcept;
  void copyFrom(const XmlRpcValue& other);

  XmlRpcType m_nType;
  Payload m_payload;
};
