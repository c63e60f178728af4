// The writer walks the tree with its own stack, so no depth of tree can overflow the call stack.
#include <vector>

#include "xml/xml_node.h"

namespace {

void WriteLineStart(std::string& out, int depth) {
  out += "\r\n";
  if (depth > 0) out.append(static_cast<std::size_t>(depth), '\t');
}

void WriteValue(std::string& out, const std::string& value, const XmlWriteOptions& options) {
  if (options.encodeEntities && options.entities != nullptr)
    options.entities->EncodeTo(value, out);
  else
    out += value;
}

// Start tag; false when the element is complete as "<name/>".
bool WriteOpening(std::string& out, const XmlNode& node, XmlWriteOptions& options) {
  if (options.newLines) WriteLineStart(out, options.depth);
  out += '<';
  out += node.name;
  if (!node.attributes.empty()) {
    out += ' ';
    for (const auto& attribute : node.attributes) attribute->WriteTo(out, options);
  }
  if (node.children.empty() && node.value.empty()) {
    out += "/>";
    return false;
  }
  out += '>';
  if (options.newLines && !node.children.empty()) ++options.depth;
  return true;
}

void WriteClosing(std::string& out, const XmlNode& node, XmlWriteOptions& options) {
  bool ownLines = options.newLines && !node.children.empty();
  if (!node.value.empty()) {
    if (ownLines) WriteLineStart(out, options.depth);
    WriteValue(out, node.value, options);
  }
  if (ownLines) WriteLineStart(out, options.depth - 1);
  out += "</";
  out += node.name;
  out += '>';
  if (ownLines) --options.depth;
}

}  // namespace

void XmlAttribute::WriteTo(std::string& out, const XmlWriteOptions& options) const {
  out += name;
  out += "='";
  WriteValue(out, value, options);
  out += "' ";
}

std::string XmlAttribute::ToText(const XmlWriteOptions& options) const {
  std::string out;
  WriteTo(out, options);
  return out;
}

void XmlNode::WriteTo(std::string& out, XmlWriteOptions& options) const {
  if (!WriteOpening(out, *this, options)) return;
  struct Frame {
    const XmlNode* node;
    std::size_t next;
  };
  std::vector<Frame> stack{{this, 0}};
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next < frame.node->children.size()) {
      const XmlNode& child = *frame.node->children[frame.next++];
      if (WriteOpening(out, child, options)) stack.push_back({&child, 0});
    } else {
      WriteClosing(out, *frame.node, options);
      stack.pop_back();
    }
  }
}

std::string XmlNode::ToText(XmlWriteOptions& options) const {
  std::string out;
  WriteTo(out, options);
  return out;
}
