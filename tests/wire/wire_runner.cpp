// Every wire case: canned reply in; the exact exchange (head, XML-RPC call, request document),
// the result and the output compared.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "api/NorvoSMS.h"
#include "tests/sandbox/sandbox_client.h"
#include "tests/sandbox/transport_wording.h"
#include "tests/wire/wire_case.h"
#include "tests/wire/wire_exchange.h"
#include "tests/wire/wire_exports.h"
#include "tests/wire/wire_token.h"

namespace {

std::filesystem::path WireFolder() {
  const char* source = std::getenv("NORVOSMS_SOURCE_DIR");
  return std::filesystem::path(source ? source : ".") / "tests/wire";
}

std::vector<std::string> CaseFiles() {
  std::filesystem::path dir = WireFolder() / "cases";
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
    if (entry.path().extension() == ".case") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

// Shows CR, LF and TAB as the case files write them, so a mismatch reads side by side.
// The head as the comparison sees it. Windows' WinInet orders the header lines its own way and
// adds its cache header; the system code decides only which lines go out, so there the request
// line comes first and the header lines are compared as a set.
std::string ComparableHead(const std::string& head) {
#ifdef _WIN32
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < head.size();) {
    std::size_t end = head.find("\r\n", at);
    if (end == std::string::npos) end = head.size();
    if (end > at) lines.push_back(head.substr(at, end - at));
    at = end + 2;
  }
  if (lines.empty()) return head;
  lines.erase(std::remove(lines.begin() + 1, lines.end(), "Cache-Control: no-cache"), lines.end());
  std::sort(lines.begin() + 1, lines.end());
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
#else
  return head;
#endif
}

// What the case expects printed, in this build's words for a connection reset before any answer.
std::string PrintedHere(const std::string& expected, const std::string& printed) {
  if (expected == "HttpSendRequest : Connection reset" && sandbox::IsResetBeforeAnswer(printed)) return printed;
  return expected;
}

std::string Shown(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : std::string(1, c);
  return out;
}

// "127.0.0.1:PORT" of the sandbox's API address, as the Host line carries it.
std::string SandboxHost() {
  std::string url = sandbox::Where().apiUrl;
  std::size_t start = url.find("://");
  start = start == std::string::npos ? 0 : start + 3;
  return url.substr(start, url.find('/', start) - start);
}

class WireCaseTest : public ::testing::TestWithParam<std::string> {};

TEST_P(WireCaseTest, Matches) {
  WireCase c = ReadWireCase(GetParam());
  ASSERT_EQ(c.error, "");
  std::string partsError;
  ExchangeParts parts = ReadExchangeParts((WireFolder() / "exchange.parts").string(), partsError);
  ASSERT_EQ(partsError, "");
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
    std::string document = WithToken(ExpectedDocument(parts, c), received, key);
    EXPECT_EQ(Shown(received), Shown(document));
    std::string body = ExpectedBody(parts, document);
    EXPECT_EQ(Shown(sandbox::LastBody()), Shown(body));
    std::string head = ExpectedHead(parts, SandboxHost(), body.size());
#ifdef _WIN32
    // The Windows build keeps no connection for an API call, and WinInet then sends no
    // Connection line.
    std::size_t keep = head.find("Connection: Keep-Alive\r\n");
    if (keep != std::string::npos) head.erase(keep, sizeof "Connection: Keep-Alive\r\n" - 1);
#endif
    EXPECT_EQ(Shown(ComparableHead(sandbox::LastHead())), Shown(ComparableHead(head)));
  } else {
    EXPECT_EQ(sandbox::RequestCount(), before) << "something was sent";
  }
  EXPECT_EQ(Shown(returned), Shown(c.returns));
  EXPECT_EQ(Shown(printed), Shown(PrintedHere(c.printed, printed)));
}

std::string CaseName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = std::filesystem::path(info.param).stem().string();
  for (char& ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, WireCaseTest, ::testing::ValuesIn(CaseFiles()), CaseName);

}  // namespace
