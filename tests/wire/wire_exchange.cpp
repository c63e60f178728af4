#include "tests/wire/wire_exchange.h"

#include <cctype>
#include <fstream>

namespace {

std::string Block(const ExchangeParts& parts, const std::string& name) {
  auto it = parts.find(name);
  return it == parts.end() ? "(no block [" + name + "])" : it->second;
}

// The escapes of an XML-RPC string value, written out here rather than taken from the client.
std::string XmlEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Element(const ExchangeParts& parts, const std::string& name, const std::string& value) {
  return Filled(Block(parts, value.empty() ? "empty-element" : "element"), {{"NAME", name}, {"VALUE", value}});
}

}  // namespace

ExchangeParts ReadExchangeParts(const std::string& path, std::string& error) {
  ExchangeParts parts;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return parts;
  }
  std::map<std::string, std::string> raw;
  std::string name, line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    if (trimmed.front() == '[' && trimmed.back() == ']') {
      name = trimmed.substr(1, trimmed.size() - 2);
      raw[name];
    } else if (name.empty()) {
      error = "text before the first [block] in " + path;
      return parts;
    } else {
      raw[name] += line;
    }
  }
  for (const auto& [block, text] : raw) parts[block] = Unescape(text);
  return parts;
}

std::string Filled(const std::string& text, const std::map<std::string, std::string>& values) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t end = i + 1;
    while (text[i] == '$' && end < text.size() &&
           (std::isupper(static_cast<unsigned char>(text[end])) || text[end] == '_'))
      ++end;
    auto it = text[i] == '$' ? values.find(text.substr(i + 1, end - i - 1)) : values.end();
    if (it != values.end()) {
      out += it->second;
      i = end;
    } else {
      out += text[i++];
    }
  }
  return out;
}

std::string ExpectedDocument(const ExchangeParts& parts, const WireCase& c) {
  if (!c.request.empty() || !c.expectRequest) return c.request;
  std::string params = Block(parts, "no-params");
  if (c.hasParams) {
    std::string list;
    for (const std::string& param : c.params) list += Filled(Block(parts, "param"), {{"PARAM", param}});
    params = Filled(Block(parts, "params"), {{"LIST", list}});
  }
  std::string apiKey =
      c.hasApiKey ? Filled(Block(parts, "api-key"), {{"ELEMENT", Element(parts, "api-key", c.apiKey)}}) : "";
  return Filled(Block(parts, "request"), {{"SMS_ID", Element(parts, "sms-id", c.smsId)},
                                          {"API_KEY", apiKey},
                                          {"ACCESS_TOKEN", Element(parts, "access-token", c.accessToken)},
                                          {"METHOD", c.method},
                                          {"PARAMS", params}});
}

std::string ExpectedBody(const ExchangeParts& parts, const std::string& document) {
  return Filled(Block(parts, "call"), {{"DOCUMENT", XmlEscaped(document)}});
}

std::string ExpectedHead(const ExchangeParts& parts, const std::string& host, std::size_t bodyLength) {
  return Filled(Block(parts, "head"), {{"HOST", host}, {"LENGTH", std::to_string(bodyLength)}});
}
