#include "api/base64_decoder.h"

namespace {
int SextetOf(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}
}  // namespace

// Not xmlrpc/'s decodeBase64, which stops at '=' and drops a short group: a result is read past both.
std::size_t DecodeBase64(std::string_view text, unsigned char* out, std::size_t capacity) {
  std::size_t written = 0;
  unsigned int group = 0;
  int count = 0;
  auto put = [&](unsigned int byte) {
    if (written < capacity) out[written++] = static_cast<unsigned char>(byte);
  };
  for (char ch : text) {
    int sextet = SextetOf(static_cast<unsigned char>(ch));
    if (sextet < 0) continue;
    group = (group << 6) | static_cast<unsigned int>(sextet);
    if (++count == 4) {
      put(group >> 16);
      put((group >> 8) & 0xFF);
      put(group & 0xFF);
      group = 0;
      count = 0;
    }
  }
  if (count == 2) {
    put(group >> 4);
  } else if (count == 3) {
    put(group >> 10);
    put((group >> 2) & 0xFF);
  }
  return written;
}
