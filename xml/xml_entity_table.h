// Character references used by the XML writer and parser.
#pragma once

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
    for (const XmlEntity& row : rows) {
      const auto c = static_cast<unsigned char>(row.character);
      m_inTable[c / 64] |= std::uint64_t{1} << (c % 64);
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
  const XmlEntity* Find(char c) const;

  bool InTable(char c) const {
    const auto u = static_cast<unsigned char>(c);
    return (m_inTable[u / 64] >> (u % 64)) & 1u;
  }

  std::span<const XmlEntity> m_rows;
  std::uint64_t m_inTable[4] = {0, 0, 0, 0};  // which characters have a row: most text has none
};

// The five predefined references: &amp; &quot; &apos; &lt; &gt;
extern const XmlEntityTable DefaultEntityTable;
