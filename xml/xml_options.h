// The records that steer the XML parser and writer, and the parse error codes.
#pragma once

#include <string>

#include "xml/xml_entity_table.h"

// Deep enough for any real answer; deeper input is refused rather than risking the stack.
constexpr int kXmlMaxParseDepth = 1000;

enum class XmlParseError : int {
  None = 0,
  ElementNotClosed = 1,    // "/" in a start tag without ">" after it
  ClosingTagOpen = 2,      // a closing tag without space or ">" after its name
  ClosingTagMismatch = 3,  // the closing name differs from the element name
  AttributeError = 4,      // no space or "=" after an attribute name
  TooDeep = 5,             // more than kXmlMaxParseDepth nested elements
};

struct XmlParseOptions {
  bool trimText = true;
  bool decodeEntities = true;
  const XmlEntityTable* entities = &DefaultEntityTable;  // null: no decoding
  char escapeChar = '\\';                                // 0: none
  // The first error only; the parser never clears these.
  bool errorOccurred = false;
  const char* errorPosition = nullptr;
  XmlParseError errorCode = XmlParseError::None;
  std::string errorText;
};

struct XmlWriteOptions {
  bool newLines = true;
  bool encodeEntities = true;
  const XmlEntityTable* entities = &DefaultEntityTable;  // null: no encoding
  int depth = 0;  // raised and lowered while writing, back to its start when done
};

// Process-wide defaults; each caller on another thread works on its own copy.
extern XmlParseOptions DefaultParseOptions;
extern XmlWriteOptions DefaultWriteOptions;
