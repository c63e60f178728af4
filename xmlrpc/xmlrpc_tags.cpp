// The cursor-level pieces of the reader: tags and entity decoding.
#include <cstring>

#include "text/ascii_case.h"
#include "xmlrpc/xmlrpc_text.h"
#include "xmlrpc/xmlrpc_text_internal.h"

bool isXmlRpcWhitespace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

void skipXmlRpcWhitespace(const char*& cursor) {
  while (isXmlRpcWhitespace(*cursor)) ++cursor;
}

const char* findLessThanOrEnd(const char* cursor) {
  const char* lt = std::strchr(cursor, '<');
  return lt ? lt : cursor + std::strlen(cursor);
}

std::string nextTag(const char*& cursor) {
  const char* p = cursor;
  skipXmlRpcWhitespace(p);
  cursor = p;
  if (*p != '<') return std::string();
  const char* close = std::strchr(p, '>');
  if (!close) return std::string();
  cursor = close + 1;
  const std::size_t length = static_cast<std::size_t>(cursor - p);
  return std::string(p, length < kXmlRpcTagBufferSize ? length : kXmlRpcTagBufferSize - 1);
}

void expectTag(const char* expected, const char*& cursor) {
  if (!EqualsNoCase(nextTag(cursor), expected)) throw XmlRpcException(std::string("Expecting tag: ") + expected);
}

namespace {

struct Entity {
  const char* text;
  std::size_t length;
  char byte;
};

// Tried in this order at every '&'.
const Entity kEntities[] = {
    {"&amp;", 5, '&'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''}, {"&#039;", 6, '\''}, {"&lt;", 4, '<'}, {"&gt;", 4, '>'},
};

bool startsWith(const char* p, const char* end, const char* prefix, std::size_t length) {
  return static_cast<std::size_t>(end - p) >= length && std::memcmp(p, prefix, length) == 0;
}

}  // namespace

std::string decodeText(const char* begin, const char* end) {
  std::string out;
  out.reserve(static_cast<std::size_t>(end - begin));
  const char* p = begin;
  while (p < end) {
    char byte = *p;
    std::size_t consumed = 1;
    if (byte == '&') {
      bool named = false;
      for (const Entity& e : kEntities) {
        if (startsWith(p, end, e.text, e.length)) {
          byte = e.byte;
          consumed = e.length;
          named = true;
          break;
        }
      }
      if (!named && startsWith(p, end, "&#", 2)) {
        // Decimal only; the low 8 bits of the number, kept as we go so any length is safe.
        const char* q = p + 2;
        unsigned low = 0;
        while (q < end && *q >= '0' && *q <= '9') low = (low * 10 + unsigned(*q++ - '0')) & 0xFFu;
        if (q < end && *q == ';') ++q;
        byte = static_cast<char>(low);
        consumed = static_cast<std::size_t>(q - p);
      }
    }
    // The result is a NUL-terminated text: a zero byte ends it.
    if (byte == '\0') break;
    out += byte;
    p += consumed;
  }
  return out;
}
