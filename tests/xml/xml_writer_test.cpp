// The writer's exact text.
#include <gtest/gtest.h>

#include "xml/xml_node.h"

namespace {
std::string Write(const XmlNode& node, XmlWriteOptions options = DefaultWriteOptions) { return node.ToText(options); }
}  // namespace

TEST(XmlWriter, ExampleWithAttributeChildrenAndValue) {
  XmlParseOptions parse;
  XmlNode a;
  // Attributes arise only from parsing.
  ASSERT_NE(a.Parse("<a k='1'>t</a>", parse), nullptr);
  a.AddChild("b", "x<y");
  a.AddChild("e");
  EXPECT_EQ(Write(a), "\r\n<a k='1' >\r\n\t<b>x&lt;y</b>\r\n\t<e/>\r\n\tt\r\n</a>");
}

TEST(XmlWriter, EmptyElementsAndAttributes) {
  XmlParseOptions parse;
  XmlNode n;
  n.name = "name";
  EXPECT_EQ(Write(n), "\r\n<name/>");
  ASSERT_NE(n.Parse("<name k='v'/>", parse), nullptr);
  EXPECT_EQ(Write(n), "\r\n<name k='v' />");
  ASSERT_NE(n.Parse("<n a=\"x'y\" b='&lt;'/>", parse), nullptr);
  EXPECT_EQ(Write(n), "\r\n<n a='x&apos;y' b='&lt;' />");
}

TEST(XmlWriter, IndentsByDepthAndLeavesDepthAsFound) {
  auto root = NewNode("r");
  XmlNode* c = root->AddChild("c");
  c->AddChild("g", "1");
  root->AddChild("d", "2");
  XmlWriteOptions options = DefaultWriteOptions;
  EXPECT_EQ(root->ToText(options), "\r\n<r>\r\n\t<c>\r\n\t\t<g>1</g>\r\n\t</c>\r\n\t<d>2</d>\r\n</r>");
  EXPECT_EQ(options.depth, 0);
  options.depth = 2;
  EXPECT_EQ(c->ToText(options), "\r\n\t\t<c>\r\n\t\t\t<g>1</g>\r\n\t\t</c>");
  EXPECT_EQ(options.depth, 2);
}

TEST(XmlWriter, OptionsSwitchOffLinesAndEncoding) {
  auto root = NewNode("a&b", "x&y");
  root->AddChild("c", "<");
  XmlWriteOptions options;
  options.newLines = false;
  EXPECT_EQ(root->ToText(options), "<a&b><c>&lt;</c>x&amp;y</a&b>");
  options.encodeEntities = false;
  EXPECT_EQ(root->ToText(options), "<a&b><c><</c>x&y</a&b>");
  options.encodeEntities = true;
  options.entities = nullptr;
  EXPECT_EQ(root->ToText(options), "<a&b><c><</c>x&y</a&b>");
}

TEST(XmlWriter, ValueOfAnElementWithChildrenGoesOnItsOwnLine) {
  auto root = NewNode("r", "a&b");
  root->AddChild("c");
  EXPECT_EQ(Write(*root), "\r\n<r>\r\n\t<c/>\r\n\ta&amp;b\r\n</r>");
}

TEST(XmlWriter, WrittenTextParsesBackToTheSameTree) {
  auto root = NewNode("request");
  root->AddChild("sms-id", "u&1");
  root->AddChild("params")->AddChild("msg", "<\"hi\">");
  std::string text = Write(*root);
  XmlParseOptions parse;
  XmlNode back;
  ASSERT_EQ(back.Parse(text, parse), text.data() + text.size());
  EXPECT_FALSE(parse.errorOccurred);
  EXPECT_EQ(Write(back), text);
}
