// The exchange a wire case expects: the blocks every call shares (exchange.parts), filled in
// with what is the case's own and what the run and the exchange give.
#pragma once

#include <map>
#include <string>

#include "tests/wire/wire_case.h"

using ExchangeParts = std::map<std::string, std::string>;

// The blocks of a parts file by name, escapes resolved; error is set when it cannot be read.
ExchangeParts ReadExchangeParts(const std::string& path, std::string& error);

// Replaces each $NAME of text found in values, in one pass (values are not scanned again);
// other $NAMEs stay for later steps.
std::string Filled(const std::string& text, const std::map<std::string, std::string>& values);

// The request document of a case: its "request:" text, or the shared envelope around its parts.
std::string ExpectedDocument(const ExchangeParts& parts, const WireCase& c);
// The XML-RPC call carrying document (already with its token), and the HTTP head before it.
std::string ExpectedBody(const ExchangeParts& parts, const std::string& document);
std::string ExpectedHead(const ExchangeParts& parts, const std::string& host, std::size_t bodyLength);
