#include "xmlrpc/xmlrpc_base64.h"

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
// Full groups per line: 18 groups are 72 characters.
constexpr std::size_t kGroupsPerLine = 18;

// Alphabet value of a byte, 64 for the padding '=', -1 for bytes that are skipped.
int sextet(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  if (c == '=') return 64;
  return -1;
}

// The next significant character at or after `p`, or -2 at the end of the range.
int nextSextet(const char*& p, const char* end) {
  while (p < end) {
    const int v = sextet(static_cast<unsigned char>(*p++));
    if (v >= 0) return v;
  }
  return -2;
}

}  // namespace

std::string encodeBase64(const unsigned char* bytes, std::size_t length) {
  std::string out;
  out.reserve(length / 3 * 4 + length / 54 + 4);
  std::size_t groups = 0;
  std::size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    const unsigned v = (unsigned(bytes[i]) << 16) | (unsigned(bytes[i + 1]) << 8) | bytes[i + 2];
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
    if (++groups % kGroupsPerLine == 0) out += '\n';
  }
  const std::size_t rest = length - i;
  if (rest == 1) {
    const unsigned v = unsigned(bytes[i]) << 16;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (rest == 2) {
    const unsigned v = (unsigned(bytes[i]) << 16) | (unsigned(bytes[i + 1]) << 8);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

std::string encodeBase64(const BinaryData& bytes) { return encodeBase64(bytes.data(), bytes.size()); }

// Beside the result reader's DecodeBase64 on purpose: XML-RPC ends a value at '=', that one skips it.
BinaryData decodeBase64(const char* begin, const char* end) {
  BinaryData out;
  const char* p = begin;
  for (;;) {
    const int c0 = nextSextet(p, end);
    if (c0 < 0 || c0 == 64) break;
    const int c1 = nextSextet(p, end);
    if (c1 < 0 || c1 == 64) break;
    const int c2 = nextSextet(p, end);
    if (c2 < 0) break;
    if (c2 == 64) {
      out.push_back(static_cast<unsigned char>((c0 << 2) | (c1 >> 4)));
      break;
    }
    const int c3 = nextSextet(p, end);
    if (c3 < 0) break;
    if (c3 == 64) {
      out.push_back(static_cast<unsigned char>((c0 << 2) | (c1 >> 4)));
      out.push_back(static_cast<unsigned char>(((c1 & 15) << 4) | (c2 >> 2)));
      break;
    }
    out.push_back(static_cast<unsigned char>((c0 << 2) | (c1 >> 4)));
    out.push_back(static_cast<unsigned char>(((c1 & 15) << 4) | (c2 >> 2)));
    out.push_back(static_cast<unsigned char>(((c2 & 3) << 6) | c3));
  }
  return out;
}
