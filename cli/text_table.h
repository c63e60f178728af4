// Plain-text tables for the terminal: columns padded to the widest cell.
#pragma once

#include <string>
#include <vector>

class TextTable {
 public:
  explicit TextTable(std::vector<std::string> header) : m_header(std::move(header)) {}
  void AddRow(std::vector<std::string> row);
  bool Empty() const { return m_rows.empty(); }
  // The header, a rule of dashes, then the rows; every line ends with "\n".
  std::string Text() const;

 private:
  std::vector<std::string> m_header;
  std::vector<std::vector<std::string>> m_rows;
};

// Terminal columns the text takes: UTF-8 is counted by characters, East Asian wide ones as
// two; text that is not UTF-8 (a double-byte code page) by bytes, which matches its width.
std::size_t DisplayWidth(const std::string& text);
