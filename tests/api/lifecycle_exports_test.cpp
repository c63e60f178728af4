// The lifecycle exports of libNorvoSMS.so as a caller sees them.
#include "api/NorvoSMS.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/sandbox/sandbox_client.h"

namespace {

class LifecycleExports : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox::UseForLibrary();
    sandbox::Reset();
  }
  void TearDown() override { FreeDll(); }
};

TEST_F(LifecycleExports, WithoutAClientNothingIsSent) {
  EXPECT_EQ(HostIPSMS(), nullptr);
  InitHostIP();
  FreeDll();
  EXPECT_EQ(HostIPSMS(), nullptr);
  FreeDll();  // a second FreeDll does nothing
  EXPECT_EQ(HostIPSMS(), nullptr);
  EXPECT_EQ(sandbox::RequestCount(), 0);
}

TEST_F(LifecycleExports, TextCallsShareOneBuffer) {
  InitHostIP();
  sandbox::Plan("string 198.51.100.1");
  sandbox::Plan("string 198.51.100.22");
  const char* first = HostIPSMS();
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first, "198.51.100.1");
  const char* second = HostIPSMS();
  EXPECT_EQ(first, second);
  EXPECT_STREQ(first, "198.51.100.22");
}

TEST_F(LifecycleExports, FailureIsTheConstantErrorTextAndLeavesTheBuffer) {
  InitHostIP();
  const char* good = HostIPSMS();
  ASSERT_STREQ(good, "127.0.0.1");
  sandbox::Plan("status 502 Bad Gateway");
  ::testing::internal::CaptureStdout();
  const char* failed = HostIPSMS();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Low level (HTTP) error: 502 Bad Gateway");
  EXPECT_STREQ(failed, "error");
  EXPECT_NE(failed, good);
  EXPECT_STREQ(good, "127.0.0.1");
}

TEST_F(LifecycleExports, InitialisingAgainReplacesTheClient) {
  // LeakSanitizer fails this test if a replaced client were left behind.
  InitDLL("demo", "demo-key");
  InitDLL("other", "other-key");
  InitHostIP();
  EXPECT_STREQ(HostIPSMS(), "127.0.0.1");
  EXPECT_NE(sandbox::LastDocument().find("<sms-id/>"), std::string::npos);
}

}  // namespace
