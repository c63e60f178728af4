// Parser cases: input, the returned position, the tree it leaves and the error it records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xml/xml_node.h"

namespace {

// name("value")[attr="v" ...]{children}
std::string Describe(const XmlNode& node) {
  std::string out = node.name;
  if (!node.value.empty()) out += "(\"" + node.value + "\")";
  if (!node.attributes.empty()) {
    out += '[';
    for (std::size_t i = 0; i < node.attributes.size(); ++i) {
      if (i) out += ' ';
      out += node.attributes[i]->name + "=\"" + node.attributes[i]->value + "\"";
    }
    out += ']';
  }
  if (!node.children.empty()) {
    out += '{';
    for (std::size_t i = 0; i < node.children.size(); ++i) {
      if (i) out += ',';
      out += Describe(*node.children[i]);
    }
    out += '}';
  }
  return out;
}

constexpr int kNull = -1;
constexpr int kEnd = -2;

struct ParseCase {
  const char* input;
  int returned;  // offset into input, kNull or kEnd
  const char* tree;
  int errorCode;
  const char* errorText;
  int errorOffset;
};

const ParseCase kCases[] = {
    // Text and values.
    {"<a>  x  </a>", kEnd, "a(\"x\")", 0, "", 0},
    {"<a>x<b/>y</a>", kEnd, "a(\"x\"){b}", 0, "", 0},
    {"<a> <b/>y</a>", kEnd, "a(\"y\"){b}", 0, "", 0},
    {"<a>x&lt;y&amp;z</a>", kEnd, "a(\"x<y&z\")", 0, "", 0},
    {"<a>x&lty</a>", kEnd, "a(\"x&lty\")", 0, "", 0},
    {"<a>C:\\dir</a>", kEnd, "a(\"C:dir\")", 0, "", 0},
    {"<a>C:\\\\dir</a>", kEnd, "a(\"C:\\dir\")", 0, "", 0},
    {"<a>1\\<2</a>", kEnd, "a(\"1<2\")", 0, "", 0},
    {"<a>x\\</a>", kEnd, "a(\"x</a>\")", 0, "", 0},
    {"lead <a>v</a> trail <b/>", 13, "a(\"v\")", 0, "", 0},
    {"<a\tb>v</a\tb>", kEnd, "a\tb(\"v\")", 0, "", 0},
    // Elements.
    {"<a/>", 4, "a", 0, "", 0},
    {"<a></a>", kEnd, "a", 0, "", 0},
    {"<a><b>1</b><c><d/></c></a>", kEnd, "a{b(\"1\"),c{d}}", 0, "", 0},
    {"<a><b>1</b>", kEnd, "a{b(\"1\")}", 0, "", 0},
    {"<a></a ><b/>", 7, "a", 0, "", 0},
    {"</a>", 0, "", 0, "", 0},
    {"  </a><b/>", 2, "", 0, "", 0},
    {"no markup", kNull, "", 0, "", 0},
    {"<abc", kNull, "", 0, "", 0},
    // Attributes.
    {"<a k m='1'>", kEnd, "a[k=\"\" m=\"1\"]", 0, "", 0},
    {"<a k m='1'></a>", kEnd, "a[k=\"\" m=\"1\"]", 0, "", 0},
    {"<a k=v>x</a>", kEnd, "a(\"x\")[k=\"v\"]", 0, "", 0},
    {"<a k='v'/>", 10, "a[k=\"v\"]", 0, "", 0},
    {"<a k=\"it's\" j='a\\'b' l=' t '/>", 30, "a[k=\"it's\" j=\"a'b\" l=\"t\"]", 0, "", 0},
    {"<a k='&lt;&amp;'/>", 18, "a[k=\"<&\"]", 0, "", 0},
    {"<a k = 'v' />", 13, "a[k=\"v\"]", 0, "", 0},
    {"<a k='v", kNull, "a[k=\"v\"]", 0, "", 0},
    {"<a k=", kNull, "a[k=\"\"]", 0, "", 0},
    // Errors.
    {"<a/x>", kNull, "a", 1, "Element must be closed.", 3},
    {"<a>1</a", kNull, "a(\"1\")", 2, "it must be closed with </a>", 6},
    {"<a><b>1</b></x>", kNull, "a{b(\"1\")}", 3, "'<a> ... </x>' is not wel-formed.", 15},
    {"<a><b><c/></b></a >", 18, "a{b{c}}", 0, "", 0},
    {"<a><b><c/></x></a>", kNull, "a{b{c}}", 3, "'<b> ... </x>' is not wel-formed.", 14},
    {"<a k", kNull, "a", 4, "<a> attribute has error ", 3},
    {"<a k>x</a>", kNull, "a", 4, "<a> attribute has error ", 3},
    {"<a ", kNull, "a", 4, "<a> attribute has error ", 3},
};

class ParseCases : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseCases, ReturnTreeAndError) {
  const ParseCase& c = GetParam();
  std::string input = c.input;
  XmlParseOptions options = DefaultParseOptions;
  XmlNode node;
  const char* r = node.Parse(input, options);
  if (c.returned == kNull) {
    EXPECT_EQ(r, nullptr);
  } else {
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r - input.data(), c.returned == kEnd ? static_cast<long>(input.size()) : c.returned);
  }
  EXPECT_EQ(Describe(node), c.tree);
  EXPECT_EQ(static_cast<int>(options.errorCode), c.errorCode);
  EXPECT_EQ(options.errorOccurred, c.errorCode != 0);
  EXPECT_EQ(options.errorText, c.errorText);
  if (c.errorCode != 0) {
    EXPECT_EQ(options.errorPosition - input.data(), c.errorOffset);
  }
}

INSTANTIATE_TEST_SUITE_P(Xml, ParseCases, ::testing::ValuesIn(kCases));

}  // namespace

TEST(XmlParser, OptionsChangeTrimmingEscapesAndDecoding) {
  XmlNode node;
  XmlParseOptions options;
  options.trimText = false;
  node.Parse("<a>  x  </a>", options);
  EXPECT_EQ(node.value, "  x  ");
  options = XmlParseOptions();
  options.escapeChar = 0;
  node.value.clear();
  node.Parse("<a>C:\\dir</a>", options);
  EXPECT_EQ(node.value, "C:\\dir");
  options = XmlParseOptions();
  options.decodeEntities = false;
  node.value.clear();
  node.Parse("<a k='&lt;'>&amp;</a>", options);
  EXPECT_EQ(node.value, "&amp;");
  EXPECT_EQ(node.attributes[0]->value, "&lt;");
  options = XmlParseOptions();
  options.entities = nullptr;
  node.value.clear();
  node.Parse("<a>&amp;</a>", options);
  EXPECT_EQ(node.value, "&amp;");
}

TEST(XmlParser, FirstErrorStaysRecorded) {
  XmlParseOptions options;
  XmlNode node;
  std::string first = "<a/x>";
  EXPECT_EQ(node.Parse(first, options), nullptr);
  XmlNode other;
  EXPECT_EQ(other.Parse("<a><b>1</b></x>", options), nullptr);
  EXPECT_EQ(options.errorCode, XmlParseError::ElementNotClosed);
  EXPECT_EQ(options.errorText, "Element must be closed.");
  EXPECT_EQ(options.errorPosition, first.data() + 3);
  // A good parse does not clear it either.
  EXPECT_NE(other.Parse("<ok/>", options), nullptr);
  EXPECT_TRUE(options.errorOccurred);
}

TEST(XmlParser, ParentLinksAndReuseOfANode) {
  XmlParseOptions options;
  XmlNode node;
  node.Parse("<a k='1'><b><c/></b></a>", options);
  const XmlNode* b = node.FindChild("b");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->parent, &node);
  EXPECT_EQ(b->children[0]->parent, b);
  EXPECT_EQ(node.attributes[0]->parent, &node);
  // Parsing again clears children and attributes but keeps a value already there.
  node.value = "kept";
  node.Parse("<z>new<y/></z>", options);
  EXPECT_EQ(Describe(node), "z(\"kept\"){y}");
}

TEST(XmlParser, NullAndEmbeddedNulTexts) {
  XmlParseOptions options;
  XmlNode node;
  EXPECT_EQ(node.Parse(static_cast<const char*>(nullptr), options), nullptr);
  std::string withNul("<a>x\0y</a>", 10);
  EXPECT_EQ(node.Parse(withNul, options), withNul.data() + withNul.size());
  EXPECT_EQ(node.value, std::string("x\0y", 3));
  EXPECT_FALSE(options.errorOccurred);
}

TEST(XmlParser, CustomTableDecodesTextAndAttributesWhateverItsReferencesLookLike) {
  static constexpr XmlEntity rows[] = {{'<', "#lt;", 4}, {'&', "&and;", 5}};
  XmlEntityTable table(rows);
  XmlParseOptions options;
  options.entities = &table;
  XmlNode node;
  node.Parse("<a k='1#lt;2'>x#lt;y&and;z</a>", options);
  EXPECT_EQ(node.value, "x<y&z");
  ASSERT_EQ(node.attributes.size(), 1u);
  EXPECT_EQ(node.attributes[0]->value, "1<2");
}
