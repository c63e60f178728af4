// Base64 decoding as the result reader needs it.
#pragma once

#include <cstddef>
#include <string_view>

// Decodes the standard alphabet, skipping every other byte ("=", line breaks, bytes of 0x80 and
// above); each four characters give three bytes, a trailing two or three give one or two.
// Writes at most capacity bytes and returns how many it wrote.
std::size_t DecodeBase64(std::string_view text, unsigned char* out, std::size_t capacity);
