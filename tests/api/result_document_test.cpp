// Reading answers: the code check, the Base64 splice, the declaration and root erasures.
#include <gtest/gtest.h>

#include "api/base64_decoder.h"
#include "api/result_document.h"
#include "tests/api/base64_test_util.h"

namespace {

const std::string kFields = "<root><sms_name>x</sms_name></root>";

std::string Answer(const std::string& code, const std::string& content) {
  return "<response><code>" + code + "</code><result>" + content + "</result></response>";
}

std::vector<std::string> ChildNames(const XmlNode& node) {
  std::vector<std::string> names;
  for (const auto& child : node.children) names.push_back(child->name);
  return names;
}

}  // namespace

TEST(ResultDocument, FieldsOfTheDecodedResultBecomeChildrenOfTheAnswer) {
  std::string b = EncodeBase64ForTest(kFields);
  ResultDocument node;
  ReadResultDocument(Answer("0000", b), node);
  EXPECT_EQ(node.name, "response");
  EXPECT_EQ(ChildNames(node), (std::vector<std::string>{"code", "sms_name"}));
  EXPECT_EQ(node.ChildValue("code"), "0000");
  EXPECT_EQ(node.ChildValue("sms_name"), "x");
  // The splice leaves the content's last two characters behind as the answer's text.
  EXPECT_EQ(node.value, b.substr(b.size() - 2));
  EXPECT_EQ(node.ChildValue("missing"), "");
}

TEST(ResultDocument, ErrorCodesLeaveTheNodeEmpty) {
  std::string b = EncodeBase64ForTest(kFields);
  for (const char* code : {"E001", "E006"}) {
    ResultDocument node;
    ReadResultDocument(Answer(code, b), node);
    EXPECT_EQ(node.name, "") << code;
    EXPECT_TRUE(node.children.empty()) << code;
    EXPECT_EQ(node.ChildValue("sms_name"), "") << code;
  }
  // Only the exact codes count, and only the first "<code>".
  ResultDocument node;
  ReadResultDocument(Answer("E0061", b), node);
  EXPECT_EQ(node.ChildValue("sms_name"), "x");
  ResultDocument unclosed;
  ReadResultDocument("<response><code>E001", unclosed);
  EXPECT_EQ(unclosed.name, "");
  ResultDocument second;
  ReadResultDocument("<response><code>0000</code><code>E001</code></response>", second);
  EXPECT_EQ(second.ChildValue("code"), "0000");
}

TEST(ResultDocument, CharactersOutsideTheAlphabetAreSkipped) {
  std::string b = EncodeBase64ForTest(kFields);
  std::string noisy;
  for (std::size_t i = 0; i < b.size(); ++i) {
    noisy += b[i];
    if (i % 4 == 3) noisy += "\r\n";
    if (i % 7 == 0) noisy += "=*";
  }
  ResultDocument node;
  ReadResultDocument(Answer("0000", noisy), node);
  EXPECT_EQ(node.ChildValue("sms_name"), "x");
  EXPECT_EQ(node.ChildValue("code"), "0000");
}

TEST(ResultDocument, DeclarationOfTheDecodedContentIsErased) {
  std::string b = EncodeBase64ForTest("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + kFields);
  ResultDocument node;
  ReadResultDocument(Answer("0000", b), node);
  EXPECT_EQ(ChildNames(node), (std::vector<std::string>{"code", "sms_name"}));
  EXPECT_EQ(node.ChildValue("sms_name"), "x");
}

TEST(ResultDocument, DeclarationOfTheAnswerLosesThirtyNineCharacters) {
  // 39 characters: the declaration and the line break after it.
  ResultDocument node;
  ReadResultDocument("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r><code>1</code></r>", node);
  EXPECT_EQ(node.name, "r");
  // A shorter declaration takes part of the answer with it.
  ResultDocument shorter;
  ReadResultDocument("<?xml version='1.0'?><r><code>12</code><a>v</a></r>", shorter);
  EXPECT_EQ(shorter.name, "a");
}

TEST(ResultDocument, MissingPartsAreReadAsTheyStand) {
  ResultDocument plain;
  ReadResultDocument("<response><code>0000</code><smsResult> 7 </smsResult></response>", plain);
  EXPECT_EQ(plain.ChildValue("smsResult"), "7");
  ResultDocument unclosedResult;
  ReadResultDocument("<response><code>0000</code><result>" + EncodeBase64ForTest(kFields), unclosedResult);
  EXPECT_EQ(unclosedResult.ChildValue("sms_name"), "x");
  ResultDocument bare;
  ReadResultDocument("<root><a>1</a></root>", bare);  // "<root>" and "</root>" are erased
  EXPECT_EQ(bare.name, "a");
  ResultDocument empty;
  ReadResultDocument("", empty);
  EXPECT_EQ(empty.name, "");
  ResultDocument garbage;
  ReadResultDocument("<result>", garbage);
  EXPECT_EQ(garbage.name, "");
}

TEST(ResultDocument, EntityReferencesInFieldsAreDecoded) {
  std::string b = EncodeBase64ForTest("<root><sms_name>a&amp;b &lt;c&gt;</sms_name></root>");
  ResultDocument node;
  ReadResultDocument(Answer("0000", b), node);
  EXPECT_EQ(node.ChildValue("sms_name"), "a&b <c>");
}

TEST(Base64Decoder, GroupsTrailersAndCapacity) {
  unsigned char out[16] = {};
  EXPECT_EQ(DecodeBase64("QUJD", out, sizeof out), 3u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 3), "ABC");
  EXPECT_EQ(DecodeBase64("QUI=", out, sizeof out), 2u);
  EXPECT_EQ(DecodeBase64("QQ", out, sizeof out), 1u);
  EXPECT_EQ(out[0], 'A');
  EXPECT_EQ(DecodeBase64("Q", out, sizeof out), 0u);
  EXPECT_EQ(DecodeBase64("Q\x80U\xFFJ\nD", out, sizeof out), 3u);
  EXPECT_EQ(DecodeBase64("+/+/", out, sizeof out), 3u);
  EXPECT_EQ(out[0], 0xFB);
  EXPECT_EQ(out[1], 0xFF);
  EXPECT_EQ(out[2], 0xBF);
  unsigned char small[2] = {};
  EXPECT_EQ(DecodeBase64("QUJDREVG", small, sizeof small), 2u);
  EXPECT_EQ(small[1], 'B');
}
