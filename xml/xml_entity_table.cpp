#include "xml/xml_entity_table.h"

#include <cstring>

namespace {
constexpr XmlEntity kDefaultEntities[] = {
    {'&', "&amp;", 5}, {'"', "&quot;", 6}, {'\'', "&apos;", 6}, {'<', "&lt;", 4}, {'>', "&gt;", 4},
};
}  // namespace

// Constant-initialised, so it is ready before any other initialiser of the library runs.
constinit const XmlEntityTable DefaultEntityTable{kDefaultEntities};

void XmlEntityTable::EncodeTo(std::string_view text, std::string& out) const {
  out.reserve(out.size() + text.size() + text.size() / 4);  // markup escaped as text grows by about that
  std::size_t runStart = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const XmlEntity* row = Find(text[i]);
    if (row == nullptr) continue;
    out.append(text.data() + runStart, i - runStart);
    out.append(row->reference, row->length);
    runStart = i + 1;
  }
  out.append(text.data() + runStart, text.size() - runStart);
}

std::string XmlEntityTable::Encode(std::string_view text) const {
  std::string out;
  EncodeTo(text, out);
  return out;
}

bool XmlEntityTable::MayHoldReference(std::string_view text) const {
  for (const XmlEntity& row : m_rows) {
    if (row.length > 0 && text.find(row.reference[0]) != std::string_view::npos) return true;
  }
  return false;
}

std::string XmlEntityTable::Decode(std::string_view text) const {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const XmlEntity* match = nullptr;
    for (const XmlEntity& row : m_rows) {
      if (row.length > 0 && row.length <= text.size() - i &&
          std::memcmp(text.data() + i, row.reference, row.length) == 0) {
        match = &row;
        break;
      }
    }
    if (match != nullptr) {
      out += match->character;
      i += match->length;
    } else {
      out += text[i];
      ++i;
    }
  }
  return out;
}
