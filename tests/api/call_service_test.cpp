// CallService against the sandbox: the string answer, and what each failure prints.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "api/call_service.h"
#include "tests/sandbox/sandbox_client.h"
#include "tests/sandbox/transport_wording.h"

namespace {

class CallServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox::UseForLibrary();
    unsetenv("NORVOSMS_INSECURE_TLS");
    sandbox::Reset();
  }
  void TearDown() override {
    sandbox::UseForLibrary();
    unsetenv("NORVOSMS_INSECURE_TLS");
  }

  // Runs one call and returns what it printed.
  std::string Call(bool& ok, std::string& result) {
    ::testing::internal::CaptureStdout();
    ok = CallService("SMS.host_ip", EnvelopeValues{}, RequestParams{{"a", "1"}}, result);
    return ::testing::internal::GetCapturedStdout();
  }
};

TEST_F(CallServiceTest, OutcomesAsTheCallerSeesThem) {
  struct {
    const char* plan;
    bool ok;
    const char* result;  // the result after the call, which starts as "before"
    const char* printed;
  } cases[] = {
      {"", true, "127.0.0.1", ""},
      {"string <response><code>0000</code></response>", true, "<response><code>0000</code></response>", ""},
      {"int 42", false, "before", "I was expecting a struct."},
      {"fault-struct Denied", false, "before", "Denied"},
      {"status 404 Not Found", false, "before", "Low level (HTTP) error: 404 Not Found"},
      {"empty", false, "before", "Invalid XMLRPC response: content size is 0"},
      {"reset", false, "before", "HttpSendRequest : Connection reset"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.plan);
    if (*c.plan) sandbox::Plan(c.plan);
    bool ok = false;
    std::string result = "before";
    std::string printed = Call(ok, result);
    if (std::string(c.plan) == "reset") {
      EXPECT_TRUE(sandbox::IsResetBeforeAnswer(printed)) << printed;
    } else {
      EXPECT_EQ(printed, c.printed);
    }
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(result, c.result);
  }
}

TEST_F(CallServiceTest, SendsTheRequestTextAsTheOneStringParameter) {
  bool ok = false;
  std::string result;
  Call(ok, result);
  ASSERT_TRUE(ok);
  EXPECT_EQ(sandbox::LastDocument(),
            "\r\n<request>\r\n\t<sms-id/>\r\n\t<access-token/>\r\n\t<response-format>xml</response-format>"
            "\r\n\t<method>SMS.host_ip</method>\r\n\t<params>\r\n\t\t<a>1</a>\r\n\t</params>\r\n</request>");
  EXPECT_NE(sandbox::LastBody().find("<methodName>norvosms</methodName>"), std::string::npos);
}

TEST_F(CallServiceTest, UnknownAuthorityRefusedUnlessInsecureTlsIsAskedFor) {
  unsetenv("NORVOSMS_CA_FILE");
  bool ok = true;
  std::string result;
  EXPECT_EQ(Call(ok, result), "HttpSendRequest : Invalid certificate authority");
  EXPECT_FALSE(ok);
  EXPECT_EQ(sandbox::RequestCount(), 0);  // nothing reached the service

  setenv("NORVOSMS_INSECURE_TLS", "1", 1);
  EXPECT_EQ(Call(ok, result), "");
  EXPECT_TRUE(ok);
  EXPECT_EQ(result, "127.0.0.1");
}

TEST_F(CallServiceTest, EndpointComesFromTheEnvironment) {
  EXPECT_EQ(ApiEndpointUrl(), sandbox::Where().apiUrl);
  setenv("NORVOSMS_API_URL", "", 1);
  EXPECT_EQ(ApiEndpointUrl(), kDefaultApiUrl);
  setenv("NORVOSMS_API_URL", "ftp://nowhere/", 1);
  bool ok = true;
  std::string result;
  EXPECT_EQ(Call(ok, result), "No connection");
  EXPECT_FALSE(ok);
}

}  // namespace
