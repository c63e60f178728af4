// Base64 (RFC 4648 alphabet) as XML-RPC carries it: LF after every 72 characters.
#pragma once

#include <cstddef>
#include <string>

#include "xmlrpc/xmlrpc_value.h"

std::string encodeBase64(const unsigned char* bytes, std::size_t length);
std::string encodeBase64(const BinaryData& bytes);

// Skips every byte outside the alphabet, stops at the first '=' or at a short final
// group, and never fails.
BinaryData decodeBase64(const char* begin, const char* end);
