#include "xml/xml_node.h"

#include "xml/xml_text.h"

std::unique_ptr<XmlNode> NewNode(const char* name, const char* value) {
  auto node = std::make_unique<XmlNode>();
  if (name != nullptr) node->name = name;
  if (value != nullptr) node->value = value;
  return node;
}

std::unique_ptr<XmlNode> NewNode(const std::string& name, const std::string& value) {
  auto node = std::make_unique<XmlNode>();
  node->name = name;
  node->value = value;
  return node;
}

bool IsBlank(std::string_view text) {
  for (char c : text) {
    if (!IsXmlWhitespace(c)) return false;
  }
  return true;
}

XmlNode::~XmlNode() { Clear(); }

void XmlNode::Clear() {
  attributes.clear();
  // Flatten the subtree into a work list so each node dies with no children left.
  std::vector<std::unique_ptr<XmlNode>> pending = std::move(children);
  children.clear();
  while (!pending.empty()) {
    std::unique_ptr<XmlNode> node = std::move(pending.back());
    pending.pop_back();
    for (auto& child : node->children) pending.push_back(std::move(child));
    node->children.clear();
  }
}

XmlNode* XmlNode::AddChild(const char* childName, const char* childValue) {
  return AddChild(NewNode(childName, childValue));
}

XmlNode* XmlNode::AddChild(const std::string& childName, const std::string& childValue) {
  return AddChild(NewNode(childName, childValue));
}

XmlNode* XmlNode::AddChild(std::unique_ptr<XmlNode> node) {
  if (!node) return nullptr;
  node->parent = this;
  children.push_back(std::move(node));
  return children.back().get();
}

XmlNode* XmlNode::FindChild(std::string_view childName) {
  for (auto& child : children) {
    if (child->name == childName) return child.get();
  }
  return nullptr;
}

const XmlNode* XmlNode::FindChild(std::string_view childName) const {
  return const_cast<XmlNode*>(this)->FindChild(childName);
}

std::string XmlNode::ChildValue(std::string_view childName) const {
  const XmlNode* child = FindChild(childName);
  return child ? child->value : std::string();
}
