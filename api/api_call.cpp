#include "api/api_call.h"

#include <climits>

#include "api/api_client.h"
#include "api/call_service.h"
#include "api/result_document.h"

namespace {

const std::string& Source(const ApiClient& client, int source, const std::vector<std::string>& args) {
  static const std::string kNone;
  if (source == kOwnSmsId) return client.m_sSmsId;
  if (source >= 0 && static_cast<std::size_t>(source) < args.size()) return args[source];
  return kNone;
}

ApiCallOutcome Failed(ApiAnswer answer) {
  ApiCallOutcome outcome;
  switch (answer) {
    case ApiAnswer::FieldText:
    case ApiAnswer::ElementText:
      outcome.text = kCallFailed;
      break;
    case ApiAnswer::FieldNumber:
      outcome.number = -1;
      break;
    case ApiAnswer::ElementStoredFlag:
      outcome.number = 0;
      break;
  }
  return outcome;
}

}  // namespace

int LeadingNumber(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;  // clamped below; no overflow
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

ApiCallOutcome RunApiCall(ApiClient& client, ApiCall call, const std::vector<std::string>& args) {
  const ApiCallSpec& spec = SpecOf(call);

  EnvelopeValues envelope;
  envelope.smsId = Source(client, spec.smsIdSource, args);
  envelope.accessToken = client.m_sAccessToken;
  if (spec.sendsApiKey) envelope.apiKey = client.m_sAccessToken;
  RequestParams params;
  for (const ApiParam& p : spec.params) {
    if (!p.name) break;
    params.emplace_back(p.name, Source(client, p.source, args));
  }

  std::string answerText;
  if (!CallService(spec.method, envelope, params, answerText)) return Failed(spec.answer);

  ResultDocument result;
  ReadResultDocument(answerText, result);

  ApiCallOutcome outcome;
  switch (spec.answer) {
    case ApiAnswer::FieldText:
      client.m_sResult = result.ChildValue(spec.field);
      outcome.text = client.m_sResult.c_str();
      break;
    case ApiAnswer::FieldNumber:
      outcome.number = LeadingNumber(result.ChildValue(spec.field));
      break;
    case ApiAnswer::ElementText:
    case ApiAnswer::ElementStoredFlag: {
      // No element (E001, E006 or a damaged answer) is a failure, never the last call's text.
      const XmlNode* element = result.FindChild(spec.field);
      if (element && spec.inner) element = element->FindChild(spec.inner);
      if (!element) return Failed(spec.answer);
      XmlWriteOptions options = DefaultWriteOptions;
      client.m_sResult = element->ToText(options);
      outcome.text = client.m_sResult.c_str();
      outcome.number = 1;
      if (spec.answer == ApiAnswer::ElementStoredFlag) outcome.text = nullptr;
      break;
    }
  }
  return outcome;
}
