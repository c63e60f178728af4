// One wire case file, read.
#pragma once

#include <string>
#include <vector>

struct WireCall {
  std::string name;
  std::vector<std::string> args;
};

struct WireCase {
  std::vector<WireCall> setup;
  std::vector<std::string> replies;
  WireCall call;
  bool expectRequest = false;  // false: "request: none", nothing may be sent
  std::string request;         // a whole document ("request:"), else built from the fields below
  // The request's own parts; the envelope around them is shared (exchange.parts).
  std::string smsId;
  bool hasApiKey = false;
  std::string apiKey;
  std::string accessToken = "$TOKEN";
  std::string method;
  bool hasParams = false;
  std::vector<std::string> params;
  std::string returns;
  std::string printed;
  std::string error;  // set when the file could not be read
};

WireCase ReadWireCase(const std::string& path);
std::string Unescape(const std::string& text);
// Without leading blanks and tabs, and trailing blanks, tabs and CR.
std::string Trim(const std::string& s);
