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

// Why the request cannot be written as well-formed XML, naming the element and the character; empty
// when it can. XML 1.0 carries no NUL, no control character other than TAB, LF and CR, and neither
// U+FFFE nor U+FFFF; the texts are in the process's ANSI code page, as the system holds them.
std::string RequestTextProblem(const std::string& method, const EnvelopeValues& envelope, const RequestParams& params);

// Builds the envelope for the method and writes it with its own copy of DefaultWriteOptions.
std::string BuildRequestText(const std::string& method, const EnvelopeValues& envelope, const RequestParams& params);
