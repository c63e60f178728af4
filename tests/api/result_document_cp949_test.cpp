// Korean in the answer (UTF-8 on the wire) reaches the caller as CP949 bytes.
#include <gtest/gtest.h>
#include <windows.h>

#include "api/result_document.h"
#include "tests/api/base64_test_util.h"

namespace {
const std::string kHongUtf8 = "\xED\x99\x8D\xEA\xB8\xB8\xEB\x8F\x99";  // 홍길동
const std::string kHongCp949 = "\xC8\xAB\xB1\xE6\xB5\xBF";
}  // namespace

TEST(ResultDocumentCp949, DecodedFieldsAndPlainTextAreConverted) {
  ASSERT_EQ(GetACP(), 949u);
  std::string b = EncodeBase64ForTest("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root><sms_name>" + kHongUtf8 +
                                      "</sms_name><memo>a&amp;" + kHongUtf8 + "</memo></root>");
  ResultDocument node;
  ReadResultDocument("<response><code>0000</code><note>" + kHongUtf8 + "</note><result>" + b + "</result></response>",
                     node);
  EXPECT_EQ(node.ChildValue("sms_name"), kHongCp949);
  EXPECT_EQ(node.ChildValue("memo"), "a&" + kHongCp949);
  EXPECT_EQ(node.ChildValue("note"), kHongCp949);
  EXPECT_EQ(node.ChildValue("code"), "0000");
}

TEST(ResultDocumentCp949, CharactersMissingFromTheCodePageBecomeQuestionMarks) {
  std::string b = EncodeBase64ForTest("<root><sms_name>x\xF0\x9F\x98\x80y</sms_name></root>");
  ResultDocument node;
  ReadResultDocument("<response><code>0000</code><result>" + b + "</result></response>", node);
  EXPECT_EQ(node.ChildValue("sms_name"), "x?y");
}
