// With CP949 as the ANSI code page, a trail byte that looks like markup is not markup.
#include <gtest/gtest.h>
#include <windows.h>

#include "xml/xml_node.h"

// "뀀" is 0x81 0x40 and "갾" is 0x81 0x7E in CP949; trail bytes 0x41-0x5A, 0x61-0x7A, 0x81-0xFE.
// None of CP949's trail bytes is "<", ">", "/", " " or "=", so the scans are checked on what they
// step over: a lead byte at the end of the text, and Korean names and values.
TEST(XmlCp949, KoreanNamesValuesAndAttributes) {
  ASSERT_EQ(GetACP(), 949u);
  // <이름 속성='값'>한글</이름>, all CP949 bytes.
  const std::string name = "\xC0\xCC\xB8\xA7";
  const std::string text = "<" + name + " \xBC\xD3\xBC\xBA='\xB0\xAA'>\xC7\xD1\xB1\xDB</" + name + ">";
  XmlParseOptions options;
  XmlNode node;
  EXPECT_EQ(node.Parse(text, options), text.data() + text.size());
  EXPECT_FALSE(options.errorOccurred);
  EXPECT_EQ(node.name, name);
  EXPECT_EQ(node.value, "\xC7\xD1\xB1\xDB");
  ASSERT_EQ(node.attributes.size(), 1u);
  EXPECT_EQ(node.attributes[0]->name, "\xBC\xD3\xBC\xBA");
  EXPECT_EQ(node.attributes[0]->value, "\xB0\xAA");
  XmlWriteOptions write = DefaultWriteOptions;
  EXPECT_EQ(node.ToText(write), "\r\n" + text.substr(0, text.find('>')) + " >\xC7\xD1\xB1\xDB</" + name + ">");
}

TEST(XmlCp949, DoubleByteUnitIsSteppedOverAsOne) {
  // A lead byte directly before "<" swallows it as its trail byte, as the ANSI scans on Windows do.
  XmlParseOptions options;
  XmlNode node;
  EXPECT_EQ(node.Parse(std::string("\xB0<a/>"), options), nullptr);
  std::string after = "\xB0\xA1<a/>";
  EXPECT_EQ(node.Parse(after, options), after.data() + after.size());
  EXPECT_EQ(node.name, "a");
  // Name ends are found by double-byte units too.
  std::string hidden = "<a\xB0>b/>";
  XmlNode other;
  EXPECT_NE(other.Parse(hidden, options), nullptr);
  EXPECT_EQ(other.name, "a\xB0>b");
  // A lone lead byte at the very end does not read past the text.
  std::string tail = "<a>\xB0";
  XmlNode last;
  EXPECT_EQ(last.Parse(tail, options), tail.data() + tail.size());
  EXPECT_EQ(last.value, "\xB0");
}
