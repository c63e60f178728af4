// WinInet on libcurl against the sandbox: what reaches the wire, and which error code each
// kind of failure leaves.
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/sandbox/sandbox_client.h"

namespace {

struct Outcome {
  bool sent = false;
  DWORD sendError = 0;
  DWORD status = 0;
  std::string statusText;
  std::string body;
  DWORD readError = 0;
};

struct Target {
  std::string host = "127.0.0.1";
  INTERNET_PORT port = 0;
  std::string path = "/api_app";
  DWORD flags = INTERNET_FLAG_SECURE | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION;
  DWORD extraSecurityFlags = 0;
  DWORD receiveTimeoutMs = 0;
};

INTERNET_PORT ApiPort() {
  const std::string& url = sandbox::Where().apiUrl;  // https://127.0.0.1:PORT/api_app
  return static_cast<INTERNET_PORT>(std::atoi(url.substr(url.rfind(':') + 1).c_str()));
}

const char kCall[] =
    "<?xml version=\"1.0\"?>\r\n<methodCall><methodName>norvosms</methodName>\r\n<params><param><value>"
    "&lt;request&gt;&lt;method&gt;SMS.host_ip&lt;/method&gt;&lt;/request&gt;</value></param>\n</params>"
    "</methodCall>\r\n";

// The request handle of a POST as the XML-RPC client opens it, with its root and connection.
struct OpenPost {
  explicit OpenPost(Target target) {
    if (!target.port) target.port = ApiPort();
    root = InternetOpenA("XmlRpc", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    connection =
        InternetConnectA(root, target.host.c_str(), target.port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (target.receiveTimeoutMs)
      InternetSetOptionA(connection, INTERNET_OPTION_RECEIVE_TIMEOUT, &target.receiveTimeoutMs, sizeof(DWORD));
    LPCSTR types[] = {"text/*", nullptr};
    request = HttpOpenRequestA(connection, "POST", target.path.c_str(), "HTTP/1.0", nullptr, types, target.flags, 0);
    if (target.extraSecurityFlags) {
      DWORD flags = 0, length = sizeof flags;
      InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &length);
      flags |= target.extraSecurityFlags;
      InternetSetOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
    }
  }
  ~OpenPost() {
    InternetCloseHandle(request);
    InternetCloseHandle(connection);
    InternetCloseHandle(root);
  }
  OpenPost(const OpenPost&) = delete;
  OpenPost& operator=(const OpenPost&) = delete;

  // Sends `body` (with its Content-length the first time) and reads the answer whole.
  Outcome Send(const std::string& body = kCall) {
    Outcome out;
    if (!headersAdded) {
      std::string headers = "Content-Type: text/xml\r\nContent-length: " + std::to_string(body.size());
      HttpAddRequestHeadersA(request, headers.c_str(), static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD);
      headersAdded = true;
    }
    out.sent = HttpSendRequestA(request, nullptr, 0, const_cast<char*>(body.data()), static_cast<DWORD>(body.size()));
    if (!out.sent) {
      out.sendError = GetLastError();
      return out;
    }
    for (;;) {
      DWORD available = 0, got = 0;
      if (!InternetQueryDataAvailable(request, &available, 0, 0)) {
        out.readError = GetLastError();
        break;
      }
      if (!available) break;
      std::string chunk(available, '\0');
      if (!InternetReadFile(request, chunk.data(), available, &got)) {
        out.readError = GetLastError();
        break;
      }
      out.body.append(chunk, 0, got);
    }
    DWORD length = sizeof out.status;
    HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &out.status, &length, nullptr);
    DWORD textLength = 0;
    EXPECT_FALSE(HttpQueryInfoA(request, HTTP_QUERY_STATUS_TEXT, nullptr, &textLength, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    std::string text(textLength, '\0');
    EXPECT_TRUE(HttpQueryInfoA(request, HTTP_QUERY_STATUS_TEXT, text.data(), &textLength, nullptr));
    out.statusText = text.substr(0, textLength);
    return out;
  }

  HINTERNET root = nullptr;
  HINTERNET connection = nullptr;
  HINTERNET request = nullptr;
  bool headersAdded = false;
};

Outcome Post(Target target, const std::string& body = kCall) { return OpenPost(target).Send(body); }

class WinInetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox::UseForLibrary();
    sandbox::Reset();
  }
  void TearDown() override { setenv("NORVOSMS_CA_FILE", sandbox::Where().caFile.c_str(), 1); }
};

TEST_F(WinInetTest, PostReachesTheWireAsWinInetWouldSendIt) {
  Outcome out = Post(Target{});
  ASSERT_TRUE(out.sent) << out.sendError;
  EXPECT_EQ(out.status, 200u);
  EXPECT_EQ(out.statusText, "OK");
  EXPECT_NE(out.body.find("<value>127.0.0.1</value>"), std::string::npos) << out.body;
  EXPECT_EQ(sandbox::LastBody(), kCall);
  std::string head = sandbox::LastHead();
  EXPECT_EQ(head.rfind("POST /api_app HTTP/1.0\r\n", 0), 0u) << head;
  for (const char* line :
       {"User-Agent: XmlRpc\r\n", "Accept: text/*\r\n", "Connection: Keep-Alive\r\n", "Content-Type: text/xml\r\n"})
    EXPECT_NE(head.find(line), std::string::npos) << line << " missing from\n" << head;
  EXPECT_NE(head.find("Content-length: " + std::to_string(sizeof kCall - 1) + "\r\n"), std::string::npos) << head;
  EXPECT_EQ(head.find("Expect:"), std::string::npos) << head;
}

struct FailureCase {
  const char* plan;
  Target target;
  DWORD sendError;  // 0: the send succeeds
  DWORD status;
  const char* statusText;
  DWORD readError;
};

TEST_F(WinInetTest, EachFailureLeavesTheWinInetCode) {
  Target slow;
  slow.receiveTimeoutMs = 1000;
  Target wrongPlace;
  wrongPlace.path = "/elsewhere";
  const FailureCase cases[] = {
      {"status 404 Not Found", Target{}, 0, 404, "Not Found", 0},
      {"status 503 Service Temporarily Gone", Target{}, 0, 503, "Service Temporarily Gone", 0},
      {"", wrongPlace, 0, 404, "Not Found", 0},
      {"empty", Target{}, 0, 200, "OK", 0},
      {"plain", Target{}, ERROR_INTERNET_SECURITY_CHANNEL_ERROR, 0, "", 0},
      {"close", Target{}, ERROR_INTERNET_CONNECTION_ABORTED, 0, "", 0},
      {"reset", Target{}, ERROR_INTERNET_CONNECTION_RESET, 0, "", 0},
      {"reset-body", Target{}, 0, 200, "OK", ERROR_INTERNET_CONNECTION_RESET},
      {"slow 3", slow, ERROR_INTERNET_TIMEOUT, 0, "", 0},
      {"wrong-name", Target{}, ERROR_INTERNET_SEC_CERT_CN_INVALID, 0, "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.plan);
    sandbox::Reset();
    if (*c.plan) sandbox::Plan(c.plan);
    Outcome out = Post(c.target);
    EXPECT_EQ(out.sent, c.sendError == 0);
    EXPECT_EQ(out.sendError, c.sendError);
    if (!out.sent) continue;
    EXPECT_EQ(out.status, c.status);
    EXPECT_EQ(out.statusText, c.statusText);
    EXPECT_EQ(out.readError, c.readError);
  }
}

TEST_F(WinInetTest, CertificatesAreCheckedUnlessTheFlagsSayOtherwise) {
  unsetenv("NORVOSMS_CA_FILE");
  EXPECT_EQ(Post(Target{}).sendError, static_cast<DWORD>(ERROR_INTERNET_INVALID_CA));
  Target ignoreCa;
  ignoreCa.extraSecurityFlags = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
  EXPECT_TRUE(Post(ignoreCa).sent);

  setenv("NORVOSMS_CA_FILE", sandbox::Where().caFile.c_str(), 1);
  Target ignoreName;
  ignoreName.flags |= INTERNET_FLAG_IGNORE_CERT_CN_INVALID;
  sandbox::Plan("wrong-name");
  EXPECT_TRUE(Post(ignoreName).sent);
  Target byName;
  byName.host = "localhost";
  EXPECT_TRUE(Post(byName).sent);
}

// The trusted store is built once per process for each CA file; that must not weaken a check.
TEST_F(WinInetTest, TrustedStoreIsReusedWithoutWeakeningChecks) {
  for (int i = 0; i < 3; ++i) {
    Outcome out = Post(Target{});
    EXPECT_TRUE(out.sent) << out.sendError;
    EXPECT_EQ(out.status, 200u);
  }
  unsetenv("NORVOSMS_CA_FILE");
  EXPECT_EQ(Post(Target{}).sendError, static_cast<DWORD>(ERROR_INTERNET_INVALID_CA));
  setenv("NORVOSMS_CA_FILE", sandbox::Where().caFile.c_str(), 1);
  EXPECT_TRUE(Post(Target{}).sent);
  sandbox::Plan("wrong-name");
  EXPECT_EQ(Post(Target{}).sendError, static_cast<DWORD>(ERROR_INTERNET_SEC_CERT_CN_INVALID));
  setenv("NORVOSMS_CA_FILE", "/nonexistent/ca.pem", 1);
  EXPECT_EQ(Post(Target{}).sendError, static_cast<DWORD>(ERROR_INTERNET_INVALID_CA));
}

TEST_F(WinInetTest, ChangedCaFileIsReadAgain) {
  std::stringstream pem;
  pem << std::ifstream(sandbox::Where().caFile).rdbuf();
  ASSERT_FALSE(pem.str().empty());
  std::string copy = testing::TempDir() + "wininet_ca_copy.pem";
  auto write = [&](const std::string& text) { std::ofstream(copy, std::ios::trunc) << text; };
  write(pem.str());
  setenv("NORVOSMS_CA_FILE", copy.c_str(), 1);
  EXPECT_TRUE(Post(Target{}).sent);
  write("");
  EXPECT_EQ(Post(Target{}).sendError, static_cast<DWORD>(ERROR_INTERNET_INVALID_CA));
  write(pem.str());
  EXPECT_TRUE(Post(Target{}).sent);
  std::remove(copy.c_str());
}

// Send workers share the store: parallel connections are each verified.
TEST_F(WinInetTest, ParallelConnectionsShareTheStore) {
  constexpr int kThreads = 3, kEach = 4;
  std::vector<DWORD> statuses(kThreads * kEach, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&statuses, t] {
      for (int i = 0; i < kEach; ++i) {
        Outcome out = Post(Target{});
        statuses[t * kEach + i] = out.sent ? out.status : out.sendError;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (DWORD status : statuses) EXPECT_EQ(status, 200u);
}

TEST_F(WinInetTest, UnreachableHosts) {
  Target unknown;
  unknown.host = "no-such-host.invalid";
  EXPECT_EQ(Post(unknown).sendError, static_cast<DWORD>(ERROR_INTERNET_NAME_NOT_RESOLVED));
  Target refused;
  refused.port = 1;
  EXPECT_EQ(Post(refused).sendError, static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT));
  Target plainToTls;  // plain HTTP spoken to the TLS port gets no valid answer
  plainToTls.flags = INTERNET_FLAG_NO_CACHE_WRITE;
  Outcome out = Post(plainToTls);
  EXPECT_TRUE(!out.sent || out.status != 200);
}

TEST(WinInetHandles, BadHandlesAndOptions) {
  EXPECT_FALSE(InternetCloseHandle(reinterpret_cast<HINTERNET>(0x1234)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  HINTERNET root = InternetOpenA("x", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(HttpOpenRequestA(root, "GET", "/", nullptr, nullptr, nullptr, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_TYPE));
  DWORD timeout = 999000, length = sizeof timeout, read = 0;
  EXPECT_TRUE(InternetSetOptionA(root, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout));
  HINTERNET connection = InternetConnectA(root, "127.0.0.1", 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  EXPECT_TRUE(InternetQueryOptionA(connection, INTERNET_OPTION_RECEIVE_TIMEOUT, &read, &length));
  EXPECT_EQ(read, 999000u);  // inherited from the root handle
  HINTERNET request = HttpOpenRequestA(connection, "POST", "/", "HTTP/1.0", nullptr, nullptr,
                                       INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID, 0);
  length = sizeof read;
  EXPECT_TRUE(InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &read, &length));
  EXPECT_EQ(read, static_cast<DWORD>(SECURITY_FLAG_SECURE | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID));
  DWORD status = 0;
  length = sizeof status;
  EXPECT_FALSE(HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_STATE));
  // The reading calls name the first fault: the handle's kind, their parameters, then nothing sent.
  char buffer[4];
  DWORD count = 7;
  EXPECT_FALSE(InternetReadFile(root, buffer, sizeof buffer, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_TYPE));
  EXPECT_EQ(count, 7u);
  EXPECT_FALSE(InternetReadFile(request, nullptr, sizeof buffer, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(InternetQueryDataAvailable(request, nullptr, 0, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(InternetReadFile(request, buffer, sizeof buffer, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_STATE));
  EXPECT_EQ(count, 0u);
  EXPECT_FALSE(InternetQueryDataAvailable(request, &count, 0, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_STATE));
  EXPECT_TRUE(InternetCloseHandle(request));
  EXPECT_TRUE(InternetCloseHandle(connection));
  EXPECT_TRUE(InternetCloseHandle(root));
}

TEST(FormatMessage, SystemTableOnly) {
  LPSTR text = nullptr;
  DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD n = FormatMessageA(flags, nullptr, ERROR_ACCESS_DENIED, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                           reinterpret_cast<LPSTR>(&text), 0, nullptr);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text, n), "Access is denied.\r\n");
  EXPECT_EQ(LocalFree(text), nullptr);
  text = nullptr;
  EXPECT_EQ(FormatMessageA(flags, nullptr, ERROR_HTTP_INVALID_SERVER_RESPONSE, 0x400, reinterpret_cast<LPSTR>(&text), 0,
                           nullptr),
            0u);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
  char small[4];
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, small, sizeof small, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

// ---- hostile servers ----

// A plain-HTTP port that nobody serves: whatever connects stays in its backlog, to be counted.
class SilentPlainPort {
 public:
  SilentPlainPort() {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(m_fd, 8);
    getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
  }
  ~SilentPlainPort() { close(m_fd); }
  int port() const { return m_port; }
  int connections() {
    int n = 0;
    for (int fd; (fd = accept(m_fd, nullptr, nullptr)) >= 0; ++n) close(fd);
    return n;
  }

 private:
  int m_fd;
  int m_port = 0;
};

long PeakResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(WinInetTest, RedirectsFollowWinInetsRules) {
  SilentPlainPort plain;
  sandbox::Plan("redirect 307 http://127.0.0.1:" + std::to_string(plain.port()) + "/api_app");
  Outcome out = Post(Target{});
  EXPECT_FALSE(out.sent);
  EXPECT_EQ(out.sendError, static_cast<DWORD>(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR));
  EXPECT_EQ(plain.connections(), 0) << "the call went on in clear";

  // 301 to a POST: a GET without the body and without the added Content-length.
  sandbox::Plan("redirect 301 /api_app");
  out = Post(Target{});
  ASSERT_TRUE(out.sent) << out.sendError;
  EXPECT_EQ(out.status, 405u);
  std::string head = sandbox::LastHead();
  EXPECT_EQ(head.rfind("GET /api_app HTTP/1.0\r\n", 0), 0u) << head;
  EXPECT_EQ(head.find("Content-length"), std::string::npos) << head;
  EXPECT_EQ(sandbox::LastBody(), "");

  // 307 keeps the method and the body.
  sandbox::Plan("redirect 307 /api_app");
  out = Post(Target{});
  ASSERT_TRUE(out.sent) << out.sendError;
  EXPECT_EQ(out.status, 200u);
  EXPECT_EQ(sandbox::LastBody(), kCall);
  EXPECT_EQ(sandbox::RequestCount(), 5);

  // A loop of redirects ends after five.
  for (int i = 0; i < 8; ++i) sandbox::Plan("redirect 308 /api_app");
  out = Post(Target{});
  EXPECT_EQ(out.sendError, static_cast<DWORD>(ERROR_HTTP_REDIRECT_FAILED));
  EXPECT_EQ(sandbox::RequestCount(), 5 + 6);
}

TEST_F(WinInetTest, TheDeadlineCutsADrippingServer) {
  setenv("NORVOSMS_TIMEOUT", "2", 1);
  sandbox::Plan("drip-head 30");
  auto start = std::chrono::steady_clock::now();
  Outcome out = Post(Target{});
  EXPECT_EQ(out.sendError, static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
  EXPECT_LT(SecondsSince(start), 5.0);

  sandbox::Plan("drip-body 30");
  start = std::chrono::steady_clock::now();
  out = Post(Target{});
  EXPECT_TRUE(out.sent);
  EXPECT_EQ(out.status, 200u);
  EXPECT_EQ(out.readError, static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
  EXPECT_LT(SecondsSince(start), 5.0);
  unsetenv("NORVOSMS_TIMEOUT");
}

TEST_F(WinInetTest, AnOversizedAnswerIsRefusedWhileItArrives) {
  long before = PeakResidentKilobytes();
  for (const char* plan : {"huge 100", "huge-unannounced 100"}) {
    SCOPED_TRACE(plan);
    sandbox::Plan(plan);
    Outcome out = Post(Target{});
    EXPECT_TRUE(out.sent);
    EXPECT_EQ(out.readError, static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
    EXPECT_TRUE(out.body.empty());
  }
  // Measured where freed memory is really freed (platform_wininet_answer_peak, no ASan quarantine).
  if (std::getenv("NORVOSMS_MEASURE_PEAK")) {
    EXPECT_LT(PeakResidentKilobytes() - before, 60 * 1024)
        << "kilobytes more at the peak, from " << before << " to " << PeakResidentKilobytes();
  }

  setenv("NORVOSMS_MAX_ANSWER", "1024", 1);
  sandbox::Plan("string " + std::string(2000, 'x'));
  EXPECT_EQ(Post(Target{}).readError, static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
  unsetenv("NORVOSMS_MAX_ANSWER");
  EXPECT_EQ(Post(Target{}).readError, 0u);
}

// A send on a handle whose last send failed starts clean: a certificate fault, bytes past the
// answer, an answer over the cap or a redirect's status seen then never colour the next answer.
TEST_F(WinInetTest, ASendAfterAFailedOneStartsClean) {
  struct Failure {
    std::string plan;
    const char* maxAnswer;  // NORVOSMS_MAX_ANSWER for the failing send, or null
    DWORD sendError;
    DWORD status;
    DWORD readError;
  };
  const Failure failures[] = {
      {"wrong-name", nullptr, ERROR_INTERNET_SEC_CERT_CN_INVALID, 0, 0},
      {"extra same 0000", nullptr, 0, 200, ERROR_HTTP_INVALID_SERVER_RESPONSE},
      {"string " + std::string(2000, 'x'), "1024", 0, 200, ERROR_FILE_TOO_LARGE},
      {"redirect 301 /api_app", nullptr, 0, 405, 0},
  };
  OpenPost post(Target{});
  for (const Failure& failure : failures) {
    SCOPED_TRACE(failure.plan.substr(0, 20));
    sandbox::Plan(failure.plan);
    if (failure.maxAnswer) setenv("NORVOSMS_MAX_ANSWER", failure.maxAnswer, 1);
    Outcome failed = post.Send();
    unsetenv("NORVOSMS_MAX_ANSWER");
    EXPECT_EQ(failed.sendError, failure.sendError);
    EXPECT_EQ(failed.status, failure.status);
    EXPECT_EQ(failed.readError, failure.readError);

    Outcome next = post.Send();
    ASSERT_TRUE(next.sent) << next.sendError;
    EXPECT_EQ(next.status, 200u);
    EXPECT_EQ(next.statusText, "OK");
    EXPECT_EQ(next.readError, 0u);
    EXPECT_NE(next.body.find("<value>127.0.0.1</value>"), std::string::npos) << next.body;
  }
}

// A deadline or cap that cannot be honoured is never replaced by a default: nothing is sent.
TEST_F(WinInetTest, UnhonouredLimitsSendNothing) {
  for (const char* name : {"NORVOSMS_TIMEOUT", "NORVOSMS_MAX_ANSWER"}) {
    for (const char* value : {"0", " -1", "2s", "", "99999999999"}) {
      SCOPED_TRACE(std::string(name) + "=" + value);
      setenv(name, value, 1);
      Outcome out = Post(Target{});
      EXPECT_FALSE(out.sent);
      EXPECT_EQ(out.sendError, static_cast<DWORD>(ERROR_INTERNET_INVALID_OPTION));
      unsetenv(name);
    }
  }
  EXPECT_EQ(sandbox::RequestCount(), 0);
}

// Also run under an OpenSSL configuration that allows TLS 1.0 at security level 0
// (platform_wininet_permissive_tls): the client's own floor still holds.
TEST_F(WinInetTest, OldTlsServersAreRefused) {
  sandbox::Plan("old-tls");
  Outcome out = Post(Target{});
  EXPECT_FALSE(out.sent);
  EXPECT_EQ(out.sendError, static_cast<DWORD>(ERROR_INTERNET_SECURITY_CHANNEL_ERROR));
  EXPECT_EQ(sandbox::RequestCount(), 0);
}

}  // namespace
