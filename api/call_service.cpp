#include "api/call_service.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "text/ascii_case.h"
#include "xmlrpc/host_setting.h"
#include "xmlrpc/tls_policy.h"
#include "xmlrpc/xmlrpc_client.h"
#include "xmlrpc/xmlrpc_value.h"

const char kCallFailed[] = "error";
const char kDefaultApiUrl[] = "https://api.norvosms.invalid/api_app";

namespace {

constexpr const char kMethod[] = "norvosms";
// Exact on purpose, though the value at fault is one that is not a string: callers compare this text.
constexpr const char kNotAString[] = "I was expecting a struct.";

constexpr const char kPlainHttpRefused[] =
    "NORVOSMS_API_URL must begin with \"https://\" (plain http only with NORVOSMS_INSECURE_TLS=1); nothing was sent";

bool IsPlainHttpUrl(const std::string& url) { return StartsWithNoCase(url, "http://"); }

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

std::string ApiEndpointUrl() {
  const char* url = std::getenv("NORVOSMS_API_URL");
  return url && *url ? url : kDefaultApiUrl;
}

bool CallService(const std::string& method, const EnvelopeValues& envelope, const RequestParams& params,
                 std::string& result) {
  try {
    // Refused before anything is sent: the service would only see a document that is not XML.
    std::string problem = RequestTextProblem(method, envelope, params);
    if (!problem.empty()) {
      Print(problem);
      return false;
    }
    std::string requestText = BuildRequestText(method, envelope, params);
    XmlRpcValue parameter;
    parameter.ensureArraySize(1);
    parameter.element(0) = XmlRpcValue(requestText);

    std::string url = ApiEndpointUrl();
    // The API key and the messages never travel in clear unless the deployment says so.
    if (IsPlainHttpUrl(url) && !InsecureTlsRequested()) {
      Print(kPlainHttpRefused);
      return false;
    }
    std::string urlProblem = UrlSettingProblem(url);
    if (!urlProblem.empty()) {
      Print("NORVOSMS_API_URL cannot be honoured: " + urlProblem + "; nothing was sent");
      return false;
    }
    XmlRpcClient client(url.c_str());
    // Certificates from an unknown authority only where the deployment asked for it.
    client.setIgnoreUnknownAuthority(InsecureTlsRequested());
    XmlRpcValue answer;
    if (!client.execute(kMethod, parameter, answer)) {
      Print(client.lastError());
      return false;
    }
    if (answer.type() != XmlRpcType::String) {
      Print(kNotAString);
      return false;
    }
    result = answer.asString();
    return true;
  } catch (const XmlRpcException& e) {
    Print(e.getMessage());
  } catch (const std::exception& e) {
    Print(e.what());
  }
  return false;
}
