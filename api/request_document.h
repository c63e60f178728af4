// The request envelope every API call sends, and its text.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "xml/xml_node.h"

// The request document is a plain XML tree rooted at "request".
using RequestEnvelope = XmlNode;

// The envelope's own children; "response-format" is always "xml".
struct EnvelopeValues {
  std::string smsId;
  std::string accessToken;
  std::optional<std::string> apiKey;  // written before access-token only by the calls that send it
};

// The call's parameters, in the order they are written.
using RequestParams = std::vector<std::pair<std::string, std::string>>;

// Builds the envelope for the method and writes it with its own copy of DefaultWriteOptions.
std::string BuildRequestText(const std::string& method, const EnvelopeValues& envelope, const RequestParams& params);
