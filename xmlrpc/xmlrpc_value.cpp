#include "xmlrpc/xmlrpc_value.h"

#include <cstring>
#include <limits>
#include <new>
#include <sstream>

namespace {

const char kTypeError[] = "type error";
const char kExpectedArray[] = "type error: expected an array";
const char kExpectedStruct[] = "type error: expected a struct";
const char kIndexTooLarge[] = "range error: array index too large";

// Smallest power of two >= n; capped at the largest int32 count.
std::int32_t roundUpToPowerOfTwo(int n) {
  std::int64_t p = 1;
  while (p < n) p <<= 1;
  if (p > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(p);
}

std::string textUpToNul(const char* text, std::size_t length) {
  const void* nul = std::memchr(text, '\0', length);
  return std::string(text, nul ? static_cast<const char*>(nul) - text : length);
}

}  // namespace

XmlRpcValue::XmlRpcValue() noexcept : m_nType(XmlRpcType::Invalid), m_payload{} {}

XmlRpcValue::XmlRpcValue(const char* text) : m_nType(XmlRpcType::String), m_payload{} {
  m_payload.text = new std::string(text ? text : "");
}

XmlRpcValue::XmlRpcValue(const std::string& text) : m_nType(XmlRpcType::String), m_payload{} {
  m_payload.text = new std::string(textUpToNul(text.data(), text.size()));
}

XmlRpcValue::XmlRpcValue(const XmlRpcValue& other) : XmlRpcValue() { assign(other); }

XmlRpcValue::XmlRpcValue(XmlRpcValue&& other) noexcept : XmlRpcValue() { takeFrom(other); }

XmlRpcValue::~XmlRpcValue() { clear(); }

XmlRpcValue& XmlRpcValue::operator=(const XmlRpcValue& other) {
  assign(other);
  return *this;
}

XmlRpcValue& XmlRpcValue::operator=(XmlRpcValue&& other) noexcept {
  if (&other != this) {
    // `other` may live inside this tree: detach it before clearing.
    XmlRpcValue taken;
    taken.takeFrom(other);
    clear();
    takeFrom(taken);
  }
  return *this;
}

XmlRpcValue XmlRpcValue::fromBoolean(bool value) {
  XmlRpcValue v;
  v.m_nType = XmlRpcType::Boolean;
  v.m_payload.boolean = value;
  return v;
}

XmlRpcValue XmlRpcValue::fromInt(std::int32_t value) {
  XmlRpcValue v;
  v.m_nType = XmlRpcType::Int;
  v.m_payload.integer = value;
  return v;
}

XmlRpcValue XmlRpcValue::fromDouble(double value) {
  XmlRpcValue v;
  v.m_nType = XmlRpcType::Double;
  v.m_payload.real = value;
  return v;
}

XmlRpcValue XmlRpcValue::fromDateTime(const DateTimeRecord& value) {
  XmlRpcValue v;
  v.m_payload.time = new DateTimeRecord(value);
  v.m_nType = XmlRpcType::DateTime;
  return v;
}

XmlRpcValue XmlRpcValue::fromBase64(BinaryData bytes) {
  XmlRpcValue v;
  v.m_payload.binary = new BinaryData(std::move(bytes));
  v.m_nType = XmlRpcType::Base64;
  return v;
}

XmlRpcValue XmlRpcValue::nil() {
  XmlRpcValue v;
  v.m_nType = XmlRpcType::Nil;
  return v;
}

void XmlRpcValue::takeFrom(XmlRpcValue& other) noexcept {
  m_nType = other.m_nType;
  m_payload = other.m_payload;
  other.m_nType = XmlRpcType::Invalid;
  other.m_payload = Payload{};
}

void XmlRpcValue::assign(const XmlRpcValue& other) {
  if (&other == this) return;
  // `other` may be an element or member of this value, so the copy is made before
  // this payload is freed.
  XmlRpcValue copy;
  copy.copyFrom(other);
  clear();
  takeFrom(copy);
}

// Deep copy into a value that is Invalid. The tag is set only once the payload exists.
void XmlRpcValue::copyFrom(const XmlRpcValue& other) {
  switch (other.m_nType) {
    case XmlRpcType::Invalid: break;
    case XmlRpcType::Boolean:
    case XmlRpcType::Int:
    case XmlRpcType::Double: m_payload = other.m_payload; break;
    case XmlRpcType::String: m_payload.text = new std::string(*other.m_payload.text); break;
    case XmlRpcType::DateTime: m_payload.time = new DateTimeRecord(*other.m_payload.time); break;
    case XmlRpcType::Base64: m_payload.binary = new BinaryData(*other.m_payload.binary); break;
    case XmlRpcType::Array: {
      m_payload.array = new ArrayRecord();
      m_nType = XmlRpcType::Array;
      const ArrayRecord& source = *other.m_payload.array;
      growArray(source.count);
      for (std::int32_t i = 0; i < source.count; ++i) m_payload.array->elements[i].assign(source.elements[i]);
      return;
    }
    case XmlRpcType::Struct: m_payload.members = new MemberMap(*other.m_payload.members); break;
    case XmlRpcType::Nil: break;
  }
  m_nType = other.m_nType;
}

void XmlRpcValue::clear() noexcept {
  switch (m_nType) {
    case XmlRpcType::Invalid:
    case XmlRpcType::Boolean:
    case XmlRpcType::Int:
    case XmlRpcType::Double: break;
    case XmlRpcType::String: delete m_payload.text; break;
    case XmlRpcType::DateTime: delete m_payload.time; break;
    case XmlRpcType::Base64: delete m_payload.binary; break;
    case XmlRpcType::Array: {
      ArrayRecord* record = m_payload.array;
      for (std::int32_t i = 0; i < record->count; ++i) record->elements[i].clear();
      delete[] record->elements;
      delete record;
      break;
    }
    case XmlRpcType::Struct: delete m_payload.members; break;
    case XmlRpcType::Nil: break;
  }
  m_nType = XmlRpcType::Invalid;
  m_payload = Payload{};
}

int XmlRpcValue::size() const {
  switch (m_nType) {
    case XmlRpcType::String: return static_cast<int>(m_payload.text->size());
    case XmlRpcType::Base64: return static_cast<int>(m_payload.binary->size());
    case XmlRpcType::Array: return m_payload.array->count;
    case XmlRpcType::Struct: return static_cast<int>(m_payload.members->size());
    default: throw XmlRpcException(kTypeError);
  }
}

// Sets count to n (n > count), reallocating to a power-of-two block when n >= capacity.
void XmlRpcValue::growArray(int n) {
  ArrayRecord& record = *m_payload.array;
  if (n <= record.count) return;
  if (n >= record.capacity) {
    const std::int32_t slots = roundUpToPowerOfTwo(n);
    if (slots > record.capacity) {
      // Fresh slots are default-constructed, i.e. Invalid, as zero-filled slots would be.
      XmlRpcValue* block = new XmlRpcValue[static_cast<std::size_t>(slots)];
      for (std::int32_t i = 0; i < record.count; ++i) block[i].takeFrom(record.elements[i]);
      delete[] record.elements;
      record.elements = block;
      record.capacity = slots;
    }
  }
  record.count = n;
}

void XmlRpcValue::ensureArraySize(int n) {
  if (m_nType == XmlRpcType::Invalid) {
    m_payload.array = new ArrayRecord();
    m_nType = XmlRpcType::Array;
  } else if (m_nType != XmlRpcType::Array) {
    throw XmlRpcException(kExpectedArray);
  }
  growArray(n);
}

XmlRpcValue& XmlRpcValue::element(int index) {
  if (m_nType != XmlRpcType::Array) throw XmlRpcException(kExpectedArray);
  if (index < 0 || m_payload.array->count < index + 1) throw XmlRpcException(kIndexTooLarge);
  return m_payload.array->elements[index];
}

const XmlRpcValue& XmlRpcValue::element(int index) const { return const_cast<XmlRpcValue*>(this)->element(index); }

int XmlRpcValue::capacity() const {
  if (m_nType != XmlRpcType::Array) throw XmlRpcException(kExpectedArray);
  return m_payload.array->capacity;
}

void XmlRpcValue::ensureStruct() {
  if (m_nType == XmlRpcType::Struct) return;
  if (m_nType != XmlRpcType::Invalid) throw XmlRpcException(kExpectedStruct);
  m_payload.members = new MemberMap();
  m_nType = XmlRpcType::Struct;
}

XmlRpcValue& XmlRpcValue::member(const std::string& name) {
  ensureStruct();
  return (*m_payload.members)[name];
}

bool XmlRpcValue::hasMember(const std::string& name) const {
  return m_nType == XmlRpcType::Struct && m_payload.members->count(name) != 0;
}

const MemberMap& XmlRpcValue::members() const {
  if (m_nType != XmlRpcType::Struct) throw XmlRpcException(kExpectedStruct);
  return *m_payload.members;
}

void XmlRpcValue::ensureType(XmlRpcType t) {
  if (m_nType == t) return;
  if (m_nType != XmlRpcType::Invalid && m_nType != XmlRpcType::Nil) throw XmlRpcException(kTypeError);
  Payload payload{};
  switch (t) {
    case XmlRpcType::String: payload.text = new std::string(); break;
    case XmlRpcType::DateTime: payload.time = new DateTimeRecord(); break;
    case XmlRpcType::Base64: payload.binary = new BinaryData(); break;
    case XmlRpcType::Array: payload.array = new ArrayRecord(); break;
    case XmlRpcType::Struct: payload.members = new MemberMap(); break;
    default: break;
  }
  m_nType = t;
  m_payload = payload;
}

std::string XmlRpcValue::asString() {
  if (m_nType == XmlRpcType::Int) return std::to_string(m_payload.integer);
  ensureType(XmlRpcType::String);
  return *m_payload.text;
}

bool XmlRpcValue::asBoolean() const {
  if (m_nType != XmlRpcType::Boolean) throw XmlRpcException(kTypeError);
  return m_payload.boolean;
}

std::int32_t XmlRpcValue::asInt() const {
  if (m_nType != XmlRpcType::Int) throw XmlRpcException(kTypeError);
  return m_payload.integer;
}

double XmlRpcValue::asDouble() const {
  if (m_nType != XmlRpcType::Double) throw XmlRpcException(kTypeError);
  return m_payload.real;
}

const DateTimeRecord& XmlRpcValue::asDateTime() const {
  if (m_nType != XmlRpcType::DateTime) throw XmlRpcException(kTypeError);
  return *m_payload.time;
}

const BinaryData& XmlRpcValue::asBinary() const {
  if (m_nType != XmlRpcType::Base64) throw XmlRpcException(kTypeError);
  return *m_payload.binary;
}
