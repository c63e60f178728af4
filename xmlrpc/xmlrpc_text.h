// The text form of XML-RPC: the method call we post and the response we read back.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

#include "xmlrpc/xmlrpc_value.h"

// A tag is kept in a buffer of this size: at most 127 characters of it.
constexpr std::size_t kXmlRpcTagBufferSize = 128;
// Arrays and structs nested deeper than this are refused, so a hostile answer cannot
// exhaust the stack; real answers nest a handful of levels.
constexpr int kXmlRpcMaxNesting = 128;

// The whole <methodCall> text. An Array parameter gives one <param> per element, an
// Invalid one no <param>, anything else one <param> followed by LF.
void writeCall(const std::string& methodName, const XmlRpcValue& params, std::ostream& out);

// true: a normal response, its first parameter is in `result`; false: a fault, the
// fault value is in `result`. Malformed text throws XmlRpcException; `result` keeps what
// was read before the failure.
bool readResponse(const char* response, XmlRpcValue& result);

// Skips whitespace and returns the next tag (cut to 127 characters), moving past its
// '>'. Returns "" and leaves the cursor on the byte when no tag starts there.
std::string nextTag(const char*& cursor);
// nextTag, then a case-insensitive comparison; throws "Expecting tag: " + expected.
void expectTag(const char* expected, const char*& cursor);

std::string escapeText(const std::string& text);
// Decodes entities in [begin, end); the result ends at the first NUL it produces.
std::string decodeText(const char* begin, const char* end);
