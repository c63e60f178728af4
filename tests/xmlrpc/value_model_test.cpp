#include <gtest/gtest.h>

#include <functional>

#include "tests/xmlrpc/value_description.h"
#include "xmlrpc/xmlrpc_value.h"

namespace {

std::string messageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const XmlRpcException& e) {
    return e.getMessage();
  }
  return "(no exception)";
}

XmlRpcValue arrayOf(std::initializer_list<XmlRpcValue> items) {
  XmlRpcValue a;
  a.ensureArraySize(static_cast<int>(items.size()));
  int i = 0;
  for (const XmlRpcValue& item : items) a.element(i++) = item;
  return a;
}

TEST(XmlRpcValueArray, GrowsToPowerOfTwoAndNeverShrinks) {
  XmlRpcValue v;
  EXPECT_EQ(v.type(), XmlRpcType::Invalid);
  v.ensureArraySize(1);
  ASSERT_EQ(v.type(), XmlRpcType::Array);
  EXPECT_EQ(v.size(), 1);
  EXPECT_EQ(v.element(0).type(), XmlRpcType::Invalid);
  v.element(0) = "request";
  EXPECT_EQ(v.size(), 1);

  v.ensureArraySize(5);
  EXPECT_EQ(v.size(), 5);
  EXPECT_EQ(v.capacity(), 8);
  EXPECT_EQ(describe(v), "[str:request, invalid, invalid, invalid, invalid]");
  v.ensureArraySize(3);
  EXPECT_EQ(v.size(), 5);
  v.ensureArraySize(7);  // inside the block: only the count moves
  EXPECT_EQ(v.capacity(), 8);
  EXPECT_EQ(v.size(), 7);
  v.ensureArraySize(8);  // n == capacity reallocates to the same power of two
  EXPECT_EQ(v.capacity(), 8);
  v.ensureArraySize(9);
  EXPECT_EQ(v.capacity(), 16);
  EXPECT_EQ(v.element(0).asString(), "request");
  EXPECT_EQ(v.element(8).type(), XmlRpcType::Invalid);

  XmlRpcValue four;
  four.ensureArraySize(4);
  EXPECT_EQ(four.capacity(), 4);
  XmlRpcValue empty;
  empty.ensureArraySize(0);
  EXPECT_EQ(empty.size(), 0);
}

TEST(XmlRpcValueArray, MisuseMessages) {
  XmlRpcValue empty;
  empty.ensureArraySize(0);
  EXPECT_EQ(messageOf([&] { empty.element(0); }), "range error: array index too large");
  EXPECT_EQ(messageOf([&] { empty.element(-1); }), "range error: array index too large");
  XmlRpcValue text("x");
  EXPECT_EQ(messageOf([&] { text.element(0); }), "type error: expected an array");
  EXPECT_EQ(messageOf([&] { text.ensureArraySize(1); }), "type error: expected an array");
  XmlRpcValue nil = XmlRpcValue::nil();
  EXPECT_EQ(messageOf([&] { nil.ensureArraySize(1); }), "type error: expected an array");
  EXPECT_EQ(text.type(), XmlRpcType::String);
}

TEST(XmlRpcValueStruct, MemberInsertsAndOrdersByUnsignedBytes) {
  XmlRpcValue v;
  XmlRpcValue& fault = v.member("faultString");
  EXPECT_EQ(fault.type(), XmlRpcType::Invalid);
  EXPECT_EQ(v.type(), XmlRpcType::Struct);
  EXPECT_EQ(v.size(), 1);

  XmlRpcValue s;
  s.member("b") = "2";
  s.member("a") = "1";
  s.member("ab") = "3";
  s.member("\xc7\xd1") = "high";  // bytes >= 128 sort after ASCII
  s.member("Z") = "upper";
  EXPECT_EQ(describe(s), "{Z=str:upper, a=str:1, ab=str:3, b=str:2, \\xc7\\xd1=str:high}");
  EXPECT_TRUE(s.hasMember("ab"));
  EXPECT_FALSE(s.hasMember("c"));

  XmlRpcValue text("x");
  EXPECT_EQ(messageOf([&] { text.member("faultString"); }), "type error: expected a struct");
  XmlRpcValue nil = XmlRpcValue::nil();
  EXPECT_EQ(messageOf([&] { nil.ensureStruct(); }), "type error: expected a struct");
  EXPECT_EQ(nil.type(), XmlRpcType::Nil);
}

TEST(XmlRpcValueConversion, AsStringAndEnsureType) {
  EXPECT_EQ(XmlRpcValue::fromInt(-42).asString(), "-42");
  EXPECT_EQ(XmlRpcValue::fromInt(0).asString(), "0");
  EXPECT_EQ(XmlRpcValue::fromInt(INT32_MIN).asString(), "-2147483648");

  XmlRpcValue nil = XmlRpcValue::nil();
  EXPECT_EQ(nil.asString(), "");
  EXPECT_EQ(nil.type(), XmlRpcType::String);
  XmlRpcValue invalid;
  EXPECT_EQ(invalid.asString(), "");
  EXPECT_EQ(invalid.type(), XmlRpcType::String);

  XmlRpcValue d = XmlRpcValue::fromDouble(1.5);
  EXPECT_EQ(messageOf([&] { d.asString(); }), "type error");
  EXPECT_EQ(d.type(), XmlRpcType::Double);
  EXPECT_EQ(messageOf([&] { d.ensureType(XmlRpcType::Int); }), "type error");
  EXPECT_EQ(messageOf([&] { XmlRpcValue::fromBoolean(true).size(); }), "type error");
  EXPECT_EQ(messageOf([&] { XmlRpcValue().size(); }), "type error");

  XmlRpcValue t;
  t.ensureType(XmlRpcType::DateTime);
  const DateTimeRecord& blank = t.asDateTime();
  EXPECT_EQ(blank.year, 0);
  EXPECT_EQ(blank.daylightSaving, 0);
  XmlRpcValue b = XmlRpcValue::nil();
  b.ensureType(XmlRpcType::Base64);
  EXPECT_EQ(b.size(), 0);

  EXPECT_EQ(XmlRpcValue("\xb0\xa1\xb3\xaa").size(), 4);  // bytes kept as they are
  EXPECT_EQ(XmlRpcValue(std::string("ab\0cd", 5)).asString(), "ab");
  EXPECT_EQ(XmlRpcValue(static_cast<const char*>(nullptr)).asString(), "");
}

TEST(XmlRpcValueCopy, DeepAtEveryLevel) {
  XmlRpcValue inner = arrayOf({"x", XmlRpcValue::fromInt(1)});
  XmlRpcValue source = arrayOf({inner, arrayOf({inner})});
  source.element(0).element(0).asString();
  XmlRpcValue copy(source);
  copy.element(1).element(0).element(0) = "changed";
  copy.element(0).ensureArraySize(3);
  EXPECT_EQ(describe(source), "[[str:x, int:1], [[str:x, int:1]]]");
  EXPECT_EQ(describe(copy), "[[str:x, int:1, invalid], [[str:changed, int:1]]]");
  EXPECT_EQ(copy.capacity(), 2);

  XmlRpcValue s;
  s.member("list") = source;
  s.member("bin") = XmlRpcValue::fromBase64({1, 2, 3});
  XmlRpcValue t;
  t.assign(s);
  t.member("list").element(0) = XmlRpcValue::nil();
  t.member("new") = "n";
  EXPECT_EQ(describe(s), "{bin=bin:\\x01\\x02\\x03, list=[[str:x, int:1], [[str:x, int:1]]]}");
  EXPECT_EQ(t.size(), 3);
}

TEST(XmlRpcValueCopy, SelfAndDescendantAssignment) {
  XmlRpcValue v = arrayOf({"a", arrayOf({"b"})});
  const std::string before = describe(v);
  v.assign(v);
  XmlRpcValue& alias = v;
  v = alias;
  EXPECT_EQ(describe(v), before);

  // Assigning from a value inside this very tree copies before it frees.
  v = v.element(1);
  EXPECT_EQ(describe(v), "[str:b]");
  XmlRpcValue w = arrayOf({arrayOf({"c"})});
  w = std::move(w.element(0));
  EXPECT_EQ(describe(w), "[str:c]");
}

TEST(XmlRpcValueClear, LeavesInvalid) {
  XmlRpcValue v = arrayOf({"a", XmlRpcValue::fromDateTime(DateTimeRecord{})});
  EXPECT_THROW(v.member("x"), XmlRpcException);
  v.clear();
  EXPECT_EQ(v.type(), XmlRpcType::Invalid);
  v.clear();
  EXPECT_EQ(v.type(), XmlRpcType::Invalid);
}

}  // namespace
