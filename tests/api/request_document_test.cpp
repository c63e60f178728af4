// The request text on the wire, byte for byte.
#include <gtest/gtest.h>

#include "api/request_document.h"

TEST(RequestDocument, PublicIpCallText) {
  EXPECT_EQ(BuildRequestText("SMS.host_ip", EnvelopeValues{}, {}),
            "\r\n<request>"
            "\r\n\t<sms-id/>"
            "\r\n\t<access-token/>"
            "\r\n\t<response-format>xml</response-format>"
            "\r\n\t<method>SMS.host_ip</method>"
            "\r\n\t<params/>"
            "\r\n</request>");
}

TEST(RequestDocument, LoginCallText) {
  EnvelopeValues envelope{"U", "T", std::nullopt};
  RequestParams params = {{"sms_id", "U"}, {"api_key", "K"}, {"mac_adr", "M"}, {"ip", "P"}};
  EXPECT_EQ(BuildRequestText("SMS.userAuth", envelope, params),
            "\r\n<request>"
            "\r\n\t<sms-id>U</sms-id>"
            "\r\n\t<access-token>T</access-token>"
            "\r\n\t<response-format>xml</response-format>"
            "\r\n\t<method>SMS.userAuth</method>"
            "\r\n\t<params>"
            "\r\n\t\t<sms_id>U</sms_id>"
            "\r\n\t\t<api_key>K</api_key>"
            "\r\n\t\t<mac_adr>M</mac_adr>"
            "\r\n\t\t<ip>P</ip>"
            "\r\n\t</params>"
            "\r\n</request>");
}

TEST(RequestDocument, ApiKeyComesBeforeAccessTokenAndEmptyValuesAreEmptyElements) {
  EnvelopeValues envelope{"id", "tok", std::string("tok")};
  EXPECT_EQ(BuildRequestText("SMS.getStatusByRef_all", envelope, {{"ref_key", ""}}),
            "\r\n<request>"
            "\r\n\t<sms-id>id</sms-id>"
            "\r\n\t<api-key>tok</api-key>"
            "\r\n\t<access-token>tok</access-token>"
            "\r\n\t<response-format>xml</response-format>"
            "\r\n\t<method>SMS.getStatusByRef_all</method>"
            "\r\n\t<params>"
            "\r\n\t\t<ref_key/>"
            "\r\n\t</params>"
            "\r\n</request>");
  // An empty api-key is still written.
  envelope.apiKey = "";
  EXPECT_NE(BuildRequestText("m", envelope, {}).find("\r\n\t<api-key/>\r\n\t<access-token>"), std::string::npos);
}

TEST(RequestDocument, SpecialCharactersBecomeReferencesAndKoreanStaysAsIs) {
  RequestParams params = {{"msg", "a&b"}, {"subject", "<\"'>"}, {"name", "\xC7\xD1\xB1\xDB"}};
  std::string text = BuildRequestText("SMS.send", EnvelopeValues{"a&b", "", std::nullopt}, params);
  EXPECT_NE(text.find("\r\n\t<sms-id>a&amp;b</sms-id>"), std::string::npos);
  EXPECT_NE(text.find("\r\n\t\t<msg>a&amp;b</msg>"), std::string::npos);
  EXPECT_NE(text.find("\r\n\t\t<subject>&lt;&quot;&apos;&gt;</subject>"), std::string::npos);
  EXPECT_NE(text.find("\r\n\t\t<name>\xC7\xD1\xB1\xDB</name>"), std::string::npos);
}

TEST(RequestDocument, LeavesTheSharedWriteOptionsAlone) {
  BuildRequestText("m", EnvelopeValues{}, {{"a", "1"}});
  EXPECT_EQ(DefaultWriteOptions.depth, 0);
  EXPECT_TRUE(DefaultWriteOptions.newLines);
}

// Runs in code page 65001, where U+FFFE and U+FFFF have ANSI bytes of their own.
TEST(RequestDocument, NamesTheFirstCharacterXmlCannotCarry) {
  const struct {
    RequestParams params;
    const char* problem;
  } cases[] = {
      {{{"msg", "tab\tcr\rlf\n \xED\x95\x9C \xEF\xBF\xBD"}}, ""},
      {{{"msg", std::string("a\0b", 3)}}, "<msg> holds U+0000"},
      {{{"msg", "ok"}, {"subject", "\x7F\x1F"}}, "<subject> holds U+001F"},
      {{{"msg", "\xEF\xBF\xBE"}}, "<msg> holds U+FFFE"},
      {{{"msg", "x\xEF\xBF\xBFy"}}, "<msg> holds U+FFFF"},
      {{{"na\x01me", "ok"}}, "<na\x01me> holds U+0001"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.problem);
    std::string problem = RequestTextProblem("SMS.send", EnvelopeValues{"demo", "token", std::nullopt}, c.params);
    if (!*c.problem) {
      EXPECT_EQ(problem, "");
    } else {
      EXPECT_EQ(problem, std::string("The request cannot be written as XML: ") + c.problem + "; nothing was sent");
    }
  }
  EXPECT_EQ(RequestTextProblem("m", EnvelopeValues{"demo", "token", std::string("key\x02")}, {}),
            "The request cannot be written as XML: <api-key> holds U+0002; nothing was sent");
}
