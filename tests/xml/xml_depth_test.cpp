// Nesting depth: the parser refuses too deep input, and no tree overflows the stack.
#include <gtest/gtest.h>

#include <string>

#include "xml/xml_node.h"

namespace {
std::string Nested(int levels) {
  std::string text;
  for (int i = 0; i < levels; ++i) text += "<n>";
  text += "v";
  for (int i = 0; i < levels; ++i) text += "</n>";
  return text;
}
}  // namespace

TEST(XmlDepth, AcceptsTheLimitAndRefusesOneMore) {
  std::string ok = Nested(kXmlMaxParseDepth);
  XmlParseOptions options;
  XmlNode node;
  EXPECT_EQ(node.Parse(ok, options), ok.data() + ok.size());
  EXPECT_FALSE(options.errorOccurred);

  std::string deep = Nested(kXmlMaxParseDepth + 1);
  XmlNode tooDeep;
  EXPECT_EQ(tooDeep.Parse(deep, options), nullptr);
  EXPECT_EQ(options.errorCode, XmlParseError::TooDeep);
  EXPECT_EQ(options.errorText, "Elements are nested more than 1000 levels deep.");
  EXPECT_EQ(options.errorPosition, deep.data() + 3 * kXmlMaxParseDepth);
  // What was read stays: the limit's worth of levels.
  int levels = 0;
  for (const XmlNode* n = &tooDeep; n; n = n->children.empty() ? nullptr : n->children[0].get()) ++levels;
  EXPECT_EQ(levels, kXmlMaxParseDepth);
}

TEST(XmlDepth, HostileNestingIsRefusedQuickly) {
  std::string text;
  for (int i = 0; i < 1000000; ++i) text += "<a>";
  XmlParseOptions options;
  XmlNode node;
  EXPECT_EQ(node.Parse(text, options), nullptr);
  EXPECT_EQ(options.errorCode, XmlParseError::TooDeep);
}

TEST(XmlDepth, DeepBuiltTreesAreWrittenAndDestroyedSafely) {
  constexpr int kLevels = 200000;  // far beyond what recursion could take
  auto root = NewNode("r");
  XmlNode* tip = root.get();
  for (int i = 0; i < kLevels; ++i) tip = tip->AddChild("n");
  tip->value = "v";
  XmlWriteOptions options = DefaultWriteOptions;
  options.newLines = false;
  std::string text = root->ToText(options);
  EXPECT_EQ(text.size(), 8u + 7u * kLevels);
  EXPECT_EQ(text.substr(0, 6), "<r><n>");
  EXPECT_EQ(text.substr(3 + 3 * kLevels, 5), "v</n>");
  EXPECT_EQ(options.depth, 0);
  root.reset();  // must not recurse
}
