// The XML document model: elements with attributes and one run of text each.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xml/xml_options.h"

class XmlNode;

class XmlAttribute {
 public:
  std::string name;
  std::string value;
  XmlNode* parent = nullptr;  // not owning

  // As written inside a start tag: name='value' followed by one space.
  std::string ToText(const XmlWriteOptions& options) const;
  void WriteTo(std::string& out, const XmlWriteOptions& options) const;
};

class XmlNode {
 public:
  std::string name;  // empty: the node holds no element
  std::string value;
  XmlNode* parent = nullptr;  // not owning
  std::vector<std::unique_ptr<XmlNode>> children;
  std::vector<std::unique_ptr<XmlAttribute>> attributes;

  XmlNode() = default;
  // Tears the subtree down without recursion, so any depth is safe.
  ~XmlNode();
  XmlNode(const XmlNode&) = delete;
  XmlNode& operator=(const XmlNode&) = delete;

  // A new child with copies of name and value (null gives empty text), owned by this node.
  XmlNode* AddChild(const char* childName, const char* childValue = nullptr);
  XmlNode* AddChild(const std::string& childName, const std::string& childValue);
  // Takes ownership of node and returns it.
  XmlNode* AddChild(std::unique_ptr<XmlNode> node);

  // The first direct child of that name (byte-exact), or null.
  XmlNode* FindChild(std::string_view childName);
  const XmlNode* FindChild(std::string_view childName) const;
  // Its value, or empty text without such a child.
  std::string ChildValue(std::string_view childName) const;

  // Deletes children and attributes; name and value stay.
  void Clear();

  // Fills this node from the first element of text. Returns the position just after that
  // element, or null on failure (the error goes into options, the partial tree stays).
  const char* Parse(const char* text, XmlParseOptions& options);
  const char* Parse(std::string_view text, XmlParseOptions& options);

  // The node and its subtree as XML text; writes without recursion.
  std::string ToText(XmlWriteOptions& options) const;
  void WriteTo(std::string& out, XmlWriteOptions& options) const;
};

// An unattached node with copies of name and value (null gives empty text).
std::unique_ptr<XmlNode> NewNode(const char* name, const char* value = nullptr);
std::unique_ptr<XmlNode> NewNode(const std::string& name, const std::string& value);

// True for empty text or text of ASCII whitespace only.
bool IsBlank(std::string_view text);
