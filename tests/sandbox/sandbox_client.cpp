#include "tests/sandbox/sandbox_client.h"

#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace sandbox {

namespace {

Endpoint ReadEndpoint() {
  const char* build = std::getenv("NORVOSMS_BUILD_DIR");
  std::string path = std::string(build ? build : ".") + "/sandbox-state/endpoint.txt";
  std::ifstream in(path);
  if (!in) throw std::runtime_error("sandbox is not running: no " + path);
  Endpoint endpoint;
  std::string line;
  while (std::getline(in, line)) {
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "api_url") endpoint.apiUrl = value;
    if (key == "control_url") endpoint.controlUrl = value;
    if (key == "ca_file") endpoint.caFile = value;
  }
  if (endpoint.apiUrl.empty() || endpoint.controlUrl.empty()) throw std::runtime_error("bad " + path);
#ifdef _WIN32
  // Wine's certificate check matches host names only, not the address 127.0.0.1 that the
  // certificate also names; the sandbox's certificate is for localhost as well.
  const std::string numeric = "://127.0.0.1:";
  if (auto at = endpoint.apiUrl.find(numeric); at != std::string::npos)
    endpoint.apiUrl.replace(at, numeric.size(), "://localhost:");
#endif
  return endpoint;
}

}  // namespace

const Endpoint& Where() {
  static const Endpoint endpoint = ReadEndpoint();
  return endpoint;
}

void UseForLibrary() {
  setenv("NORVOSMS_API_URL", Where().apiUrl.c_str(), 1);
  setenv("NORVOSMS_CA_FILE", Where().caFile.c_str(), 1);
  setenv("no_proxy", "127.0.0.1,localhost", 1);
  setenv("NO_PROXY", "127.0.0.1,localhost", 1);
}

std::string Control(const char* verb, const std::string& path, const std::string& body) {
  const std::string& url = Where().controlUrl;  // http://127.0.0.1:PORT
  std::string hostPort = url.substr(7);
  std::string host = hostPort.substr(0, hostPort.find(':'));
  auto port = static_cast<INTERNET_PORT>(std::atoi(hostPort.substr(hostPort.find(':') + 1).c_str()));
  HINTERNET root = InternetOpenA("sandbox-control", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  HINTERNET connection = InternetConnectA(root, host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  HINTERNET request =
      HttpOpenRequestA(connection, verb, path.c_str(), "HTTP/1.0", nullptr, nullptr, INTERNET_FLAG_NO_CACHE_WRITE, 0);
  bool ok =
      request && HttpSendRequestA(request, nullptr, 0, const_cast<char*>(body.data()), static_cast<DWORD>(body.size()));
  std::string answer;
  DWORD status = 0, length = sizeof status;
  if (ok) {
    char buffer[4096];
    DWORD got = 0;
    while (InternetReadFile(request, buffer, sizeof buffer, &got) && got) answer.append(buffer, got);
    HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr);
  }
  DWORD error = GetLastError();
  if (request) InternetCloseHandle(request);
  if (connection) InternetCloseHandle(connection);
  if (root) InternetCloseHandle(root);
  if (!ok) throw std::runtime_error("sandbox control " + path + " failed: " + std::to_string(error));
  if (status != 200 && status != 404) throw std::runtime_error("sandbox control " + path + ": " + answer);
  return status == 200 ? answer : std::string();
}

void Reset() { Control("POST", "/reset"); }
void Plan(const std::string& line) { Control("POST", "/plan", line); }
std::string LastDocument() { return Control("GET", "/log/last"); }
std::string LastBody() { return Control("GET", "/log/last/body"); }
std::string LastHead() { return Control("GET", "/log/last/head"); }
int RequestCount() { return std::atoi(Control("GET", "/log/count").c_str()); }

Connections ConnectionReport() {
  std::istringstream report(Control("GET", "/connections"));
  Connections connections;
  std::string line, word;
  while (std::getline(report, line)) {
    std::istringstream fields(line);
    fields >> word;
    if (word == "accepted") {
      fields >> connections.accepted;
    } else if (word == "requests") {
      for (int n; fields >> n;) connections.requests.push_back(n);
    } else if (word == "resumed") {
      fields >> connections.resumed;
    } else if (word == "huge-sent") {
      std::string state;
      fields >> connections.hugeSent >> state;
      connections.hugeEnded = state == "ended";
    }
  }
  return connections;
}

Connections AfterHugeAnswer() {
  Connections connections = ConnectionReport();
  for (auto start = std::chrono::steady_clock::now();
       !connections.hugeEnded && std::chrono::steady_clock::now() - start < std::chrono::seconds(10);) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    connections = ConnectionReport();
  }
  return connections;
}

}  // namespace sandbox
