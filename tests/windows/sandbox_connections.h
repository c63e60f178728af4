// What the sandbox says of its connections (GET /connections): requests per connection since
// the last reset, and how far its last huge answer got.
#pragma once

#include <windows.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "tests/sandbox/sandbox_client.h"

namespace sandbox {

struct Connections {
  std::vector<int> requests;
  long long hugeSent = 0;
  bool hugeEnded = true;
};

inline Connections ConnectionReport() {
  std::istringstream report(Control("GET", "/connections"));
  Connections side;
  std::string line, word;
  while (std::getline(report, line)) {
    std::istringstream fields(line);
    fields >> word;
    if (word == "requests") {
      for (int n; fields >> n;) side.requests.push_back(n);
    } else if (word == "huge-sent") {
      std::string state;
      fields >> side.hugeSent >> state;
      side.hugeEnded = state == "ended";
    }
  }
  return side;
}

// The report once the last huge answer has ended, or after ten seconds of waiting for it.
inline Connections AfterHugeAnswer() {
  Connections side = ConnectionReport();
  for (auto start = std::chrono::steady_clock::now();
       !side.hugeEnded && std::chrono::steady_clock::now() - start < std::chrono::seconds(10);) {
    Sleep(100);
    side = ConnectionReport();
  }
  return side;
}

}  // namespace sandbox
