// Tests' side of the sandbox: where it serves, and its control interface (plain HTTP).
#pragma once

#include <string>
#include <vector>

namespace sandbox {

struct Endpoint {
  std::string apiUrl;      // https://127.0.0.1:PORT/api_app
  std::string controlUrl;  // http://127.0.0.1:PORT
  std::string caFile;      // the sandbox's certificate authority, PEM
};

// Read once from the fixture's ready file under NORVOSMS_BUILD_DIR; throws when it is missing.
const Endpoint& Where();
// Points the library at the sandbox: NORVOSMS_API_URL, NORVOSMS_CA_FILE, and no proxy for it.
void UseForLibrary();

// Forgets the request log and all queued plans.
void Reset();
// Queues one misbehaviour for the next API request (see sandbox/misbehaviour.py).
void Plan(const std::string& line);
// The last request document, byte for byte (UTF-8); the raw XML-RPC body; the raw head.
std::string LastDocument();
std::string LastBody();
std::string LastHead();
int RequestCount();

// One plain-HTTP exchange with the control interface; returns the body, throws on failure.
std::string Control(const char* verb, const std::string& path, const std::string& body = "");

// What the sandbox says of its connections since the last reset (GET /connections).
struct Connections {
  int accepted = 0;
  std::vector<int> requests;  // per connection, in the order accepted
  int resumed = 0;            // TLS handshakes that resumed an earlier session
  long long hugeSent = 0;     // bytes of the last huge answer so far
  bool hugeEnded = true;
};
Connections ConnectionReport();
// The report once the last huge answer has ended, or after ten seconds of waiting for it.
Connections AfterHugeAnswer();

}  // namespace sandbox
