// Building, searching and clearing trees; entity encoding and decoding.
#include <gtest/gtest.h>

#include "xml/xml_node.h"

TEST(XmlTree, NewNodeAndAddChildCopyTextAndSetParents) {
  auto root = NewNode("root", nullptr);
  EXPECT_EQ(root->name, "root");
  EXPECT_EQ(root->value, "");
  EXPECT_EQ(root->parent, nullptr);
  std::string name = "a";
  XmlNode* a = root->AddChild(name, std::string("1"));
  name = "changed";
  EXPECT_EQ(a->name, "a");
  EXPECT_EQ(a->parent, root.get());
  XmlNode* b = root->AddChild(NewNode(nullptr, "v"));
  EXPECT_EQ(b->name, "");
  EXPECT_EQ(b->parent, root.get());
  ASSERT_EQ(root->children.size(), 2u);
  EXPECT_EQ(root->children[1].get(), b);
}

TEST(XmlTree, FindChildIsExactAndFirstAndDirectOnly) {
  auto root = NewNode("r");
  root->AddChild("code", "1");
  root->AddChild("code", "2");
  root->AddChild("inner")->AddChild("deep", "x");
  EXPECT_EQ(root->FindChild("code")->value, "1");
  EXPECT_EQ(root->ChildValue("code"), "1");
  EXPECT_EQ(root->FindChild("Code"), nullptr);
  EXPECT_EQ(root->FindChild("deep"), nullptr);
  EXPECT_EQ(root->ChildValue("missing"), "");
  EXPECT_EQ(root->ChildValue("cod"), "");
}

TEST(XmlTree, ClearKeepsNameAndValue) {
  auto root = NewNode("r", "v");
  root->AddChild("a")->AddChild("b");
  XmlParseOptions options;
  root->Parse("<r k='1'>v</r>", options);
  ASSERT_EQ(root->attributes.size(), 1u);
  root->Clear();
  EXPECT_TRUE(root->children.empty());
  EXPECT_TRUE(root->attributes.empty());
  EXPECT_EQ(root->name, "r");
  EXPECT_EQ(root->value, "v");
}

TEST(XmlTree, IsBlankKnowsTheSixWhitespaceCharacters) {
  EXPECT_TRUE(IsBlank(""));
  EXPECT_TRUE(IsBlank(" \t\n\v\f\r"));
  EXPECT_FALSE(IsBlank(" x "));
  EXPECT_FALSE(IsBlank("\xA0"));
}

TEST(XmlEntities, EncodeAndDecodeTheFiveReferences) {
  EXPECT_EQ(DefaultEntityTable.Rows().size(), 5u);
  EXPECT_EQ(DefaultEntityTable.Encode("a&b\"c'd<e>f"), "a&amp;b&quot;c&apos;d&lt;e&gt;f");
  EXPECT_EQ(DefaultEntityTable.Encode("plain"), "plain");
  EXPECT_EQ(DefaultEntityTable.Decode("a&amp;b&quot;c&apos;d&lt;e&gt;f"), "a&b\"c'd<e>f");
  // Decoding is one pass: "&amp;lt;" gives "&lt;", not "<".
  EXPECT_EQ(DefaultEntityTable.Decode("&amp;lt;"), "&lt;");
  // Incomplete, unknown, numeric and upper-case references stay as they are.
  EXPECT_EQ(DefaultEntityTable.Decode("&lt &amp &#39; &LT; &nbsp; &"), "&lt &amp &#39; &LT; &nbsp; &");
}

TEST(XmlEntities, CustomTableIsUsedInItsOrder) {
  static constexpr XmlEntity rows[] = {{'x', "&x;", 3}, {'y', "&x;y", 4}};
  XmlEntityTable table(rows);
  EXPECT_EQ(table.Encode("axy"), "a&x;&x;y");
  EXPECT_EQ(table.Decode("&x;y"), "xy");  // the first matching row wins
  static constexpr XmlEntity twice[] = {{'x', "&first;", 7}, {'x', "&second;", 8}, {'\xC0', "&high;", 6}};
  XmlEntityTable both(twice);
  EXPECT_EQ(both.Encode("x\xC0x"), "&first;&high;&first;");  // so does the first row of a character
  // A long table: a character whose only row comes late is still found.
  std::vector<XmlEntity> many(300, XmlEntity{'a', "&a;", 3});
  many.back() = XmlEntity{'z', "&z;", 3};
  XmlEntityTable longTable(many);
  EXPECT_EQ(longTable.Encode("az"), "&a;&z;");
}
