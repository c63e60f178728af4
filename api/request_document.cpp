#include "api/request_document.h"

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
