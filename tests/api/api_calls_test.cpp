// The call table's procedure seen from the client object: what each kind of call leaves in
// the result buffer when the call fails, is refused, or succeeds.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "api/api_call.h"
#include "api/api_client.h"
#include "tests/sandbox/sandbox_client.h"
#include "tests/sandbox/transport_wording.h"

namespace {

class ApiCallsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox::UseForLibrary();
    sandbox::Reset();
    client.SetIdentity("demo", "demo-key");
    client.m_sResult = "before";
  }
  // Runs the call with stdout captured (failures print their reason).
  template <class F>
  auto Quietly(F call) {
    ::testing::internal::CaptureStdout();
    auto value = call();
    printed = ::testing::internal::GetCapturedStdout();
    return value;
  }
  ApiClient client;
  std::string printed;
};

using TextCall = std::function<const char*(ApiClient&)>;

const struct {
  const char* name;
  TextCall call;
} kTextCalls[] = {
    {"CheckLogin", [](ApiClient& c) { return c.CheckLogin("demo", "demo-key", "10.0.0.1", "m"); }},
    {"PhoneAuth", [](ApiClient& c) { return c.PhoneAuth("010", "m"); }},
    {"ReSendAuthNum", [](ApiClient& c) { return c.ReSendAuthNum("010", "m"); }},
    {"AuthNumCheck", [](ApiClient& c) { return c.AuthNumCheck("m", "1"); }},
    {"GetSmsUserName", [](ApiClient& c) { return c.GetSmsUserName(); }},
    {"GetUserPhoneNum", [](ApiClient& c) { return c.GetUserPhoneNum(); }},
    {"PhoneBookGroupList", [](ApiClient& c) { return c.PhoneBookGroupList(); }},
    {"PhoneBookList", [](ApiClient& c) { return c.PhoneBookList("g"); }},
    {"InsertGroup", [](ApiClient& c) { return c.InsertGroup("g"); }},
    {"GetARSGroupList", [](ApiClient& c) { return c.GetARSGroupList(); }},
    {"RecentSendList", [](ApiClient& c) { return c.RecentSendList(); }},
    {"GetStatusByRef_All", [](ApiClient& c) { return c.GetStatusByRef_All("k"); }},
};

TEST_F(ApiCallsTest, TransportFailureGivesErrorAndKeepsTheBuffer) {
  for (const auto& c : kTextCalls) {
    SCOPED_TRACE(c.name);
    sandbox::Plan("reset");
    const char* answer = Quietly([&] { return c.call(client); });
    ASSERT_NE(answer, nullptr);
    EXPECT_STREQ(answer, "error");
    EXPECT_NE(answer, client.m_sResult.c_str());
    EXPECT_EQ(client.m_sResult, "before");
    EXPECT_TRUE(sandbox::IsResetBeforeAnswer(printed)) << printed;
  }
  sandbox::Plan("reset");
  EXPECT_EQ(Quietly([&] { return client.GetSmsCount(); }), -1);
  sandbox::Plan("int 5");
  EXPECT_EQ(Quietly([&] { return client.GetArsCount(); }), -1);
  EXPECT_EQ(printed, "I was expecting a struct.");
  sandbox::Plan("reset");
  EXPECT_EQ(Quietly([&] { return client.InsertPhoneList("g", "n", "p", "", ""); }), 0);
  EXPECT_EQ(client.m_sResult, "before");
}

// E001 empties the result document: field calls give empty text in the buffer, element
// calls give "error" and leave the buffer, so no caller sees the previous call's answer.
TEST_F(ApiCallsTest, RefusedAnswerNeverShowsOlderText) {
  for (const auto& c : kTextCalls) {
    SCOPED_TRACE(c.name);
    client.m_sResult = "before";
    sandbox::Plan("result E001 <smsResult><entries><x>1</x></entries></smsResult>");
    const char* answer = Quietly([&] { return c.call(client); });
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(printed, "");
    if (std::strcmp(answer, "error") == 0) {
      EXPECT_EQ(client.m_sResult, "before");
    } else {
      EXPECT_EQ(answer, client.m_sResult.c_str());
      EXPECT_STREQ(answer, "");
    }
  }
  sandbox::Plan("result E006 <smsResult>1</smsResult>");
  EXPECT_EQ(Quietly([&] { return client.InsertPhoneList("g", "n", "p", "", ""); }), 0);
}

TEST_F(ApiCallsTest, InsertPhoneListStoresTheElementAndReturnsOne) {
  sandbox::Plan("result 0000 <smsResult><address><name>n</name></address></smsResult>");
  EXPECT_EQ(client.InsertPhoneList("g", "n", "p", "", ""), 1);
  EXPECT_EQ(client.m_sResult, "\r\n<smsResult>\r\n\t<address>\r\n\t\t<name>n</name>\r\n\t</address>\r\n</smsResult>");
}

TEST_F(ApiCallsTest, CountsLeaveTheBufferAlone) {
  sandbox::Plan("result 0000 <sms_quantity>77</sms_quantity>");
  EXPECT_EQ(client.GetSmsCount(), 77);
  EXPECT_EQ(client.m_sResult, "before");
}

TEST_F(ApiCallsTest, TextCallsShareOneBuffer) {
  sandbox::Plan("result 0000 <sms_name>first</sms_name>");
  const char* first = client.GetSmsUserName();
  sandbox::Plan("result 0000 <smsResult>second</smsResult>");
  const char* second = client.CheckLogin("demo", "demo-key", "", "");
  EXPECT_EQ(first, second);
  EXPECT_STREQ(first, "second");
}

}  // namespace
