// The process's kept connections seen from the sandbox: how many one server gets at once, and
// that an idle one is closed on time with no call to notice it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/src/connection_pool.h"
#include "tests/sandbox/sandbox_client.h"
#include "xmlrpc/xmlrpc_client.h"

namespace {

const char kHostIpDocument[] = "<request><method>SMS.host_ip</method></request>";

// One line of the sandbox's connection report ("accepted", "open", ...) as a number.
int ConnectionFigure(const std::string& name) {
  std::istringstream report(sandbox::Control("GET", "/connections"));
  for (std::string line; std::getline(report, line);) {
    if (line.rfind(name + " ", 0) == 0) return std::stoi(line.substr(name.size() + 1));
  }
  return -1;
}

bool Call(XmlRpcClient& client) {
  XmlRpcValue params, result;
  params.ensureArraySize(1);
  params.element(0) = XmlRpcValue(std::string(kHostIpDocument));
  return client.execute("norvosms", params, result);
}

class ConnectionPoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox::UseForLibrary();
    sandbox::Reset();
  }
  void TearDown() override { SetKeptConnectionIdleLimit(std::chrono::seconds(30)); }
};

TEST_F(ConnectionPoolTest, SevenCallersNeverHoldMoreThanFourConnectionsToOneServer) {
  for (int i = 0; i < 7; ++i) sandbox::Plan("slow 0.3");  // the first calls overlap
  std::atomic<int> failures{0};
  std::vector<std::thread> callers;
  for (int t = 0; t < 7; ++t) {
    callers.emplace_back([&] {
      XmlRpcClient client(sandbox::Where().apiUrl.c_str());
      for (int i = 0; i < 4; ++i) {
        if (!Call(client)) ++failures;
      }
    });
  }
  for (auto& caller : callers) caller.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(sandbox::RequestCount(), 28);
  EXPECT_LE(ConnectionFigure("accepted"), 4);
}

TEST_F(ConnectionPoolTest, AnIdleKeptConnectionIsClosedWithoutAnotherCall) {
  SetKeptConnectionIdleLimit(std::chrono::milliseconds(300));
  XmlRpcClient client(sandbox::Where().apiUrl.c_str());
  ASSERT_TRUE(Call(client)) << client.lastError();
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (ConnectionFigure("open") != 0 && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(ConnectionFigure("open"), 0) << "the kept connection is still open";
  ASSERT_TRUE(Call(client)) << client.lastError();  // a fresh one serves the next call
  EXPECT_EQ(ConnectionFigure("accepted"), 2);
}

}  // namespace
