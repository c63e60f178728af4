#include "api/api_call.h"

#include "api/api_client.h"
#include "api/call_service.h"
#include "api/result_document.h"
#include "text/decimal_number.h"

namespace {

const std::string& Source(const ApiClient& client, int source, const std::vector<std::string>& args) {
  static const std::string kNone;
  if (source == kOwnSmsId) return client.m_sSmsId;
  if (source == kNoValue) return kNone;
  if (source >= 0 && static_cast<std::size_t>(source) < args.size()) return args[source];
  return kNone;
}

ApiCallOutcome Failed(ApiAnswer answer) {
  ApiCallOutcome outcome;
  outcome.failed = true;
  switch (answer) {
    case ApiAnswer::WholeAnswer:
    case ApiAnswer::ResultCode:
    case ApiAnswer::FieldText:
    case ApiAnswer::ElementText: outcome.text = kCallFailed; break;
    case ApiAnswer::FieldNumber: outcome.number = -1; break;
    case ApiAnswer::ElementStoredFlag: outcome.number = 0; break;
  }
  return outcome;
}

}  // namespace

ApiCallOutcome RunApiCall(ApiClient& client, ApiCall call, const std::vector<std::string>& args) {
  const ApiCallSpec& spec = SpecOf(call);

  EnvelopeValues envelope;
  envelope.smsId = Source(client, spec.smsIdSource, args);
  if (spec.tokens != ApiTokens::None) envelope.accessToken = client.m_sAccessToken;
  if (spec.tokens == ApiTokens::ApiKeyAndAccessToken) envelope.apiKey = client.m_sAccessToken;
  RequestParams params;
  for (const ApiParam& p : spec.params) {
    if (!p.name) break;
    if (p.source == kFixedText)
      params.emplace_back(p.name, p.fixed ? p.fixed : "");
    else
      params.emplace_back(p.name, Source(client, p.source, args));
  }

  std::string answerText;
  if (!CallService(spec.method, envelope, params, answerText)) return Failed(spec.answer);

  ApiCallOutcome outcome;
  if (spec.answer == ApiAnswer::WholeAnswer) {
    client.m_sResult = answerText;
    outcome.text = client.m_sResult.c_str();
    return outcome;
  }

  ResultDocument result;
  ReadResultDocument(answerText, result);

  switch (spec.answer) {
    case ApiAnswer::WholeAnswer: break;  // returned above
    case ApiAnswer::ResultCode: outcome.code = result.ChildValue(spec.field); break;
    case ApiAnswer::FieldText:
      client.m_sResult = result.ChildValue(spec.field);
      outcome.text = client.m_sResult.c_str();
      break;
    case ApiAnswer::FieldNumber: outcome.number = DecimalValue(result.ChildValue(spec.field)); break;
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
