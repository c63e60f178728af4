#include "tests/wire/wire_case.h"

#include <fstream>
#include <sstream>

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
  }
  return out;
}

std::string Trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t\r");
  return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

namespace {

// Blank-separated words; "..." quotes a word (escapes inside are kept for Unescape).
WireCall ParseCall(const std::string& text) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == '\t') {
      ++i;
      continue;
    }
    std::string word;
    if (text[i] == '"') {
      for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) word += text[i++];
        word += text[i];
      }
      ++i;
    } else {
      while (i < text.size() && text[i] != ' ' && text[i] != '\t') word += text[i++];
    }
    words.push_back(Unescape(word));
  }
  WireCall call;
  if (!words.empty()) {
    call.name = words[0];
    call.args.assign(words.begin() + 1, words.end());
  }
  return call;
}

}  // namespace

WireCase ReadWireCase(const std::string& path) {
  WireCase c;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    c.error = "cannot read " + path;
    return c;
  }
  bool haveCall = false, haveRequest = false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Trim(line).empty() || Trim(line)[0] == '#') continue;
    std::size_t colon = line.find(':');
    if (colon == std::string::npos) {
      c.error = "no field name in: " + line;
      return c;
    }
    std::string key = Trim(line.substr(0, colon));
    std::string value = line.substr(colon + 1);
    std::size_t start = value.find_first_not_of(" \t");
    value = start == std::string::npos ? "" : value.substr(start);
    if (key == "setup") {
      c.setup.push_back(ParseCall(value));
    } else if (key == "reply") {
      c.replies.push_back(Unescape(value));
    } else if (key == "call") {
      c.call = ParseCall(value);
      haveCall = true;
    } else if (key == "request") {
      haveRequest = true;
      c.expectRequest = value != "none";
      c.request = c.expectRequest ? Unescape(value) : "";
    } else if (key == "sms-id") {
      c.smsId = Unescape(value);
    } else if (key == "api-key") {
      c.hasApiKey = true;
      c.apiKey = Unescape(value);
    } else if (key == "access-token") {
      c.accessToken = Unescape(value);
    } else if (key == "method") {
      haveRequest = true;
      c.expectRequest = true;
      c.method = Unescape(value);
    } else if (key == "param") {
      c.hasParams = true;
      c.params.push_back(Unescape(value));
    } else if (key == "returns") {
      c.returns = Unescape(value);
    } else if (key == "stdout") {
      c.printed = Unescape(value);
    } else {
      c.error = "unknown field: " + key;
      return c;
    }
  }
  if (!haveCall) c.error = "no call: line";
  if (!haveRequest) c.error = "no request: or method: line";
  return c;
}
