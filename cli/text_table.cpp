#include "cli/text_table.h"

#include <algorithm>

namespace {

bool Wide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6);
}

// Control characters would break the layout: shown as spaces.
std::string Printable(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return out;
}

}  // namespace

std::size_t DisplayWidth(const std::string& text) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < text.size();) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || i + extra >= text.size()) return text.size();
    char32_t c = extra == 0 ? b : b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return text.size();
      c = (c << 6) | (next & 0x3F);
    }
    width += Wide(c) ? 2 : 1;
    i += extra + 1;
  }
  return width;
}

void TextTable::AddRow(std::vector<std::string> row) {
  row.resize(m_header.size());
  for (auto& cell : row) cell = Printable(cell);
  m_rows.push_back(std::move(row));
}

std::string TextTable::Text() const {
  std::vector<std::size_t> widths;
  for (const auto& h : m_header) widths.push_back(DisplayWidth(h));
  for (const auto& row : m_rows)
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], DisplayWidth(row[i]));

  auto line = [&](const std::vector<std::string>& cells) {
    std::string out;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      out += cells[i];
      if (i + 1 < cells.size()) out += std::string(widths[i] - DisplayWidth(cells[i]) + 2, ' ');
    }
    out.erase(out.find_last_not_of(' ') + 1);
    return out + "\n";
  };
  std::string out = line(m_header);
  std::vector<std::string> rule;
  for (std::size_t w : widths) rule.push_back(std::string(w, '-'));
  out += line(rule);
  for (const auto& row : m_rows) out += line(row);
  return out;
}
