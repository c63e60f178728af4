// Kept connections through the exports against the sandbox: how many connections the calls
// open, that a closed one is not reused, that the pool outlives the client, and that a hostile
// server cannot hold the workers past the deadline.
#include "api/NorvoSMS.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/sandbox/sandbox_client.h"

namespace {

struct ConnectionUse {
  int accepted = 0;
  std::vector<int> requests;  // per connection, in the order accepted
};

ConnectionUse Connections() {
  std::istringstream report(sandbox::Control("GET", "/connections"));
  ConnectionUse use;
  std::string word;
  report >> word >> use.accepted >> word;
  for (int n; report >> n;) use.requests.push_back(n);
  return use;
}

int g_answered = 0;
bool g_end = false;

LRESULT CALLBACK CallerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COPYDATA) {
    std::string text(static_cast<const char*>(reinterpret_cast<COPYDATASTRUCT*>(lParam)->lpData));
    if (text == "end") {
      g_end = true;
    } else {
      ++g_answered;
    }
    return 1;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool PumpUntil(int milliseconds, bool (*done)()) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < until) {
    if (done()) return true;
    MSG msg;
    while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(1);
  }
  return done();
}

class ConnectionReuse : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sandbox::UseForLibrary();
    WNDCLASSA cls{};
    cls.lpfnWndProc = CallerProc;
    cls.lpszClassName = "ConnectionReuseCaller";
    RegisterClassA(&cls);
  }
  void SetUp() override {
    sandbox::Reset();  // also closes the connections the sandbox kept
    g_answered = 0;
    g_end = false;
    m_hwnd = CreateWindowExA(0, "ConnectionReuseCaller", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  }
  void TearDown() override {
    DestroyThread();
    FreeDll();
    DestroyWindow(m_hwnd);
    unsetenv("NORVOSMS_TIMEOUT");
    sandbox::UseForLibrary();
  }
  HWND m_hwnd = 0;
};

TEST_F(ConnectionReuse, CallsInARowShareOneConnectionThatOutlivesTheClient) {
  InitHostIP();
  for (int i = 0; i < 10; ++i) EXPECT_STREQ(HostIPSMS(), "127.0.0.1") << i;
  ConnectionUse use = Connections();
  EXPECT_EQ(use.accepted, 1);
  EXPECT_EQ(use.requests, std::vector<int>{10});

  FreeDll();
  InitDLL("demo", "demo-key");
  EXPECT_STREQ(HostIPSMS(), "127.0.0.1");
  EXPECT_EQ(Connections().requests, std::vector<int>{11});
}

TEST_F(ConnectionReuse, AConnectionTheServerClosedIsNotReused) {
  InitHostIP();
  EXPECT_STREQ(HostIPSMS(), "127.0.0.1");
  sandbox::Plan("close-after");  // a new plan meets a fresh connection
  EXPECT_STREQ(HostIPSMS(), "127.0.0.1");
  EXPECT_STREQ(HostIPSMS(), "127.0.0.1");
  EXPECT_STREQ(HostIPSMS(), "127.0.0.1");
  EXPECT_EQ(Connections().requests, (std::vector<int>{1, 1, 2}));
  EXPECT_EQ(sandbox::RequestCount(), 4) << "a request was sent twice";
}

TEST_F(ConnectionReuse, ThreeWorkersUseAtMostThreeConnections) {
  InitDLL("demo", "demo-key");
  CreateThreadDll();
  StartSMS();
  for (int i = 0; i < 100; ++i)
    SendSMS(m_hwnd, "010" + std::to_string(20000000 + i), "0212345678", "pooled", "", "pool", 100, "N");
  ASSERT_TRUE(PumpUntil(120000, [] { return g_end && g_answered == 100; })) << g_answered;
  StopSMS();
  ConnectionUse use = Connections();
  EXPECT_LE(use.accepted, 3);
  int total = 0;
  for (int n : use.requests) total += n;
  EXPECT_EQ(total, 100);
  EXPECT_EQ(sandbox::RequestCount(), 100);
}

TEST_F(ConnectionReuse, StopAndFreeReturnWithinTheDeadlineWhateverTheServerDoes) {
  setenv("NORVOSMS_TIMEOUT", "2", 1);
  InitDLL("demo", "demo-key");
  CreateThreadDll();
  sandbox::Plan("drip-head 60");
  sandbox::Plan("drip-body 60");
  sandbox::Plan("drip-head 60");
  for (int i = 0; i < 3; ++i)
    SendSMS(m_hwnd, "010" + std::to_string(30000000 + i), "0212345678", "held", "", "hold", 3, "N");
  PumpUntil(500, [] { return false; });  // the workers are inside their calls by now
  auto start = std::chrono::steady_clock::now();
  StopSMS();
  DestroyThread();
  FreeDll();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 4.0);
}

TEST_F(ConnectionReuse, PlainHttpEndpointIsRefusedAndNothingIsSent) {
  std::string url = sandbox::Where().apiUrl;  // https://127.0.0.1:PORT/api_app
  setenv("NORVOSMS_API_URL", ("http" + url.substr(5)).c_str(), 1);
  InitHostIP();
  testing::internal::CaptureStdout();
  EXPECT_STREQ(HostIPSMS(), "error");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "NORVOSMS_API_URL must begin with \"https://\" (plain http only with NORVOSMS_INSECURE_TLS=1); "
            "nothing was sent");
  EXPECT_EQ(Connections().accepted, 0);
  EXPECT_EQ(sandbox::RequestCount(), 0);
}

}  // namespace
