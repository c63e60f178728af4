// Parse arbitrary text under varied options, then write what was read.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "xml/xml_node.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the options, the rest is the text.
  std::uint8_t flags = data[0];
  XmlParseOptions parse = DefaultParseOptions;
  parse.trimText = (flags & 1) == 0;
  parse.decodeEntities = (flags & 2) == 0;
  parse.escapeChar = (flags & 4) ? 0 : '\\';
  if (flags & 8) parse.entities = nullptr;
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  XmlNode node;
  const char* end = node.Parse(text, parse);
  if (end != nullptr && (end < text.data() || end > text.data() + text.size())) __builtin_trap();
  if (parse.errorOccurred && (parse.errorPosition < text.data() || parse.errorPosition > text.data() + text.size()))
    __builtin_trap();

  XmlWriteOptions write = DefaultWriteOptions;
  write.newLines = (flags & 16) == 0;
  std::string written = node.ToText(write);
  if (write.depth != 0) __builtin_trap();
  return 0;
}
