// The lists the library returns as XML text (an element whose children are the entries),
// read into a table.
#pragma once

#include <string>

#include "cli/text_table.h"

// Bounds on what one answer may put on the screen.
constexpr std::size_t kMaxListRows = 100000;
constexpr std::size_t kMaxListColumns = 32;

struct XmlList {
  bool ok = false;       // false: the text is no XML element
  std::string value;     // the element's own text, for an answer that is not a list
  std::size_t rows = 0;  // entries shown
  std::string table;     // the rendered table; empty without entries
};

// Entries with fields become one row each, a column per field name in the order first seen;
// entries without fields become rows of one column named after the entry element.
XmlList ReadXmlList(const std::string& xmlText);
