// The sandbox's sending side, for the sending tests: chosen answers and stored messages.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "tests/sandbox/sandbox_client.h"

namespace send_test {

// How SMS.send answers the next message to the phone: a code, or "transport PLAN".
inline void Answer(const std::string& phone, const std::string& answer) {
  sandbox::Control("POST", "/send/answer", phone + " " + answer);
}

// Stored messages: phone, callback, subject, message, reserve, ref_key, kind, usears, code.
inline std::vector<std::vector<std::string>> Messages() {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(sandbox::Control("GET", "/send/messages"));
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, '\t')) fields.push_back(cell);
    if (line.back() == '\t') fields.push_back("");
    if (!fields.empty()) fields.erase(fields.begin());  // sms-id
    rows.push_back(fields);
  }
  return rows;
}

}  // namespace send_test
