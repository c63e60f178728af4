// MD5 message digest (RFC 1321).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

std::array<std::uint8_t, 16> Md5Digest(const void* data, std::size_t size);

// Lower-case hex digest of the text's bytes up to its first NUL.
std::string Md5Hex(const std::string& text);
