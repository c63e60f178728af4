// Every wire case: canned reply in, exact request bytes, result and output compared.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "api/NorvoSMS.h"
#include "tests/sandbox/sandbox_client.h"
#include "tests/wire/wire_case.h"
#include "tests/wire/wire_exports.h"
#include "tests/wire/wire_token.h"

namespace {

std::vector<std::string> CaseFiles() {
  const char* source = std::getenv("NORVOSMS_SOURCE_DIR");
  std::filesystem::path dir = std::filesystem::path(source ? source : ".") / "tests/wire/cases";
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
    if (entry.path().extension() == ".case") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

// Shows CR, LF and TAB as the case files write them, so a mismatch reads side by side.
std::string Shown(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : std::string(1, c);
  return out;
}

class WireCaseTest : public ::testing::TestWithParam<std::string> {};

TEST_P(WireCaseTest, Matches) {
  WireCase c = ReadWireCase(GetParam());
  ASSERT_EQ(c.error, "");
  sandbox::UseForLibrary();
  sandbox::Reset();
  std::string ignored;
  for (const auto& step : c.setup) ASSERT_TRUE(RunExport(step.name, step.args, ignored)) << ignored;
  for (const auto& reply : c.replies) sandbox::Plan(reply);
  int before = sandbox::RequestCount();

  ::testing::internal::CaptureStdout();
  std::string returned;
  bool known = RunExport(c.call.name, c.call.args, returned);
  std::string printed = ::testing::internal::GetCapturedStdout();
  FreeDll();
  ASSERT_TRUE(known) << returned;

  if (c.expectRequest) {
    ASSERT_GT(sandbox::RequestCount(), before) << "nothing was sent";
    // $TOKEN stands for the token InitDLL made from the key of the case's InitDLL.
    std::string key;
    for (const auto& step : c.setup)
      if (step.name == "InitDLL" && step.args.size() == 2) key = step.args[1];
    std::string received = sandbox::LastDocument();
    EXPECT_EQ(Shown(received), Shown(WithToken(c.request, received, key)));
  } else {
    EXPECT_EQ(sandbox::RequestCount(), before) << "something was sent";
  }
  EXPECT_EQ(Shown(returned), Shown(c.returns));
  EXPECT_EQ(Shown(printed), Shown(c.printed));
}

std::string CaseName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = std::filesystem::path(info.param).stem().string();
  for (char& ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, WireCaseTest, ::testing::ValuesIn(CaseFiles()), CaseName);

}  // namespace
