// Character references used by the XML writer and parser.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// One row: a character and the reference that stands for it.
struct XmlEntity {
  char character;
  char reference[11];  // at most 10 characters and a NUL
  std::size_t length;
};

class XmlEntityTable {
 public:
  constexpr explicit XmlEntityTable(std::span<const XmlEntity> rows) : m_rows(rows) {
    // The first row of a character wins, as a search from the top would find it.
    for (std::size_t i = std::min<std::size_t>(rows.size(), kMaxRows); i-- > 0;) {
      m_rowOf[static_cast<unsigned char>(rows[i].character)] = static_cast<std::uint16_t>(i + 1);
    }
  }

  std::span<const XmlEntity> Rows() const { return m_rows; }

  // Every character found in the table becomes its reference.
  std::string Encode(std::string_view text) const;
  void EncodeTo(std::string_view text, std::string& out) const;
  // Every reference of the table becomes its character; anything else is copied.
  std::string Decode(std::string_view text) const;
  // False when Decode would return the text unchanged: no reference of the table starts in it.
  bool MayHoldReference(std::string_view text) const;

 private:
  // The character's row, or null: one look in an index, since most characters have none.
  const XmlEntity* Find(char c) const {
    const std::uint16_t row = m_rowOf[static_cast<unsigned char>(c)];
    return row ? &m_rows[row - 1] : nullptr;
  }

  // Encoding looks at this many rows at most; a table needs one per character it replaces.
  static constexpr std::size_t kMaxRows = 0xFFFF;

  std::span<const XmlEntity> m_rows;
  std::uint16_t m_rowOf[256] = {};  // 1 + the index of each character's row, 0 for none
};

// The five predefined references: &amp; &quot; &apos; &lt; &gt;
extern const XmlEntityTable DefaultEntityTable;
