#include "api/request_document.h"

#include <cstdio>

#include "text/ansi_text.h"

namespace {

// The first character of `text` XML cannot carry, as "U+XXXX"; empty when there is none.
std::string ForbiddenCharacter(const std::string& text) {
  char shown[8] = "";
  for (unsigned char c : text) {
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
      std::snprintf(shown, sizeof shown, "U+%04X", static_cast<unsigned>(c));
      return shown;
    }
  }
  if (IsAscii(text)) return "";
  for (WCHAR unit : WideFromAnsi(text)) {
    if (unit == 0xFFFE || unit == 0xFFFF) {
      std::snprintf(shown, sizeof shown, "U+%04X", static_cast<unsigned>(unit));
      return shown;
    }
  }
  return "";
}

std::string Problem(const std::string& element, const std::string& text) {
  std::string character = ForbiddenCharacter(text);
  if (character.empty()) return "";
  return "The request cannot be written as XML: <" + element + "> holds " + character + "; nothing was sent";
}

}  // namespace

std::string RequestTextProblem(const std::string& method, const EnvelopeValues& envelope, const RequestParams& params) {
  std::string problem = Problem("method", method);
  if (problem.empty()) problem = Problem("sms-id", envelope.smsId);
  if (problem.empty() && envelope.apiKey) problem = Problem("api-key", *envelope.apiKey);
  if (problem.empty()) problem = Problem("access-token", envelope.accessToken);
  for (const auto& [name, value] : params) {
    if (!problem.empty()) break;
    problem = Problem(name, name);
    if (problem.empty()) problem = Problem(name, value);
  }
  return problem;
}

std::string BuildRequestText(const std::string& method, const EnvelopeValues& envelope, const RequestParams& params) {
  std::unique_ptr<RequestEnvelope> request = NewNode("request");
  std::unique_ptr<XmlNode> paramsNode = NewNode("params");
  for (const auto& [name, value] : params) paramsNode->AddChild(name, value);

  request->AddChild("sms-id", envelope.smsId);
  if (envelope.apiKey) request->AddChild("api-key", *envelope.apiKey);
  request->AddChild("access-token", envelope.accessToken);
  request->AddChild("response-format", "xml");
  request->AddChild("method", method);
  request->AddChild(std::move(paramsNode));

  // A copy, so the running depth of one write is never seen by another thread's.
  XmlWriteOptions options = DefaultWriteOptions;
  return request->ToText(options);
}
