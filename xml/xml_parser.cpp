// The parser keeps its own stack of open elements, so nesting never grows the call stack.
#include <cstdio>

#include "xml/xml_node.h"
#include "xml/xml_text.h"

namespace {

// Exact texts, spelling and trailing blanks included ("wel-formed" is not ours to fix):
// callers compare them.
const char* const kMessages[] = {
    "",
    "Element must be closed.",
    "it must be closed with </%s>",
    "'<%s> ... </%s>' is not wel-formed.",
    "<%s> attribute has error ",
    "Elements are nested more than %s levels deep.",
};

void RecordError(XmlParseOptions& options, XmlParseError code, const char* position, const std::string& first,
                 const std::string& second = std::string()) {
  if (options.errorOccurred) return;
  options.errorOccurred = true;
  options.errorPosition = position;
  options.errorCode = code;
  const char* format = kMessages[static_cast<int>(code)];
  int size = std::snprintf(nullptr, 0, format, first.c_str(), second.c_str());
  std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  std::snprintf(text.data(), text.size() + 1, format, first.c_str(), second.c_str());
  options.errorText = std::move(text);
}

class Parser {
 public:
  Parser(const char* begin, const char* end, XmlParseOptions& options)
      : m_begin(begin), m_end(end), m_options(options) {}

  const char* Run(XmlNode& root, const char* pos);

 private:
  enum class Tag { Failed, Complete, Open };
  struct TagResult {
    Tag tag;
    const char* pos;
    const char* start;  // the "<" of the tag
  };
  struct Frame {
    XmlNode* node;
    std::unique_ptr<XmlNode> owned;  // null for the root, which belongs to the caller
  };

  TagResult ReadStartTag(XmlNode& node, const char* pos);
  const char* ReadAttributes(XmlNode& node, const char* pos);
  const char* ReadText(XmlNode& node, const char* pos);
  void StoreText(const char* start, const char* end, std::string& target);
  const char* SkipWhitespace(const char* p) const {
    while (p < m_end && IsXmlWhitespace(*p)) ++p;
    return p;
  }
  void Close(std::vector<Frame>& stack);

  const char* m_begin;
  const char* m_end;
  XmlParseOptions& m_options;
};

void Parser::StoreText(const char* start, const char* end, std::string& target) {
  SetTextRange(start, end, target, m_options.trimText, m_options.escapeChar);
  if (m_options.decodeEntities && m_options.entities != nullptr && m_options.entities->MayHoldReference(target))
    target = m_options.entities->Decode(target);
}

// A text run ends at the next "<" not preceded by a backslash, whatever escapeChar says.
const char* Parser::ReadText(XmlNode& node, const char* pos) {
  const char* runEnd = FindUnescaped(m_begin, pos, m_end, "<");
  StoreText(pos, runEnd, node.value);
  return runEnd;
}

const char* Parser::ReadAttributes(XmlNode& node, const char* pos) {
  while (pos < m_end) {
    pos = SkipWhitespace(pos);
    if (pos < m_end && (*pos == '>' || *pos == '/')) return pos;
    const char* nameEnd = FindMarkup(pos, m_end, " =");
    if (nameEnd == m_end) {
      RecordError(m_options, XmlParseError::AttributeError, pos, node.name);
      return nullptr;
    }
    auto attribute = std::make_unique<XmlAttribute>();
    attribute->name.assign(pos, nameEnd);
    attribute->parent = &node;
    XmlAttribute& current = *attribute;
    node.attributes.push_back(std::move(attribute));

    pos = SkipWhitespace(nameEnd);
    if (pos >= m_end || *pos != '=') continue;
    pos = SkipWhitespace(pos + 1);
    if (pos >= m_end) break;
    const char* valueStart = pos;
    const char* valueEnd = nullptr;
    bool quoted = *pos == '"' || *pos == '\'';
    if (quoted) {
      const char quote[2] = {*pos, '\0'};
      valueStart = pos + 1;
      valueEnd = FindUnescaped(m_begin, valueStart, m_end, quote);
    } else {
      valueEnd = FindUnescaped(m_begin, valueStart, m_end, " >");
    }
    StoreText(valueStart, valueEnd, current.value);
    pos = (quoted && valueEnd < m_end) ? valueEnd + 1 : valueEnd;
  }
  return nullptr;
}

Parser::TagResult Parser::ReadStartTag(XmlNode& node, const char* pos) {
  node.Clear();
  const char* open = FindMarkup(pos, m_end, "<");
  if (open == m_end) return {Tag::Failed, nullptr, open};
  // A closing tag belongs to the element around this one.
  if (open + 1 < m_end && open[1] == '/') return {Tag::Complete, open, open};
  const char* nameEnd = FindMarkup(open + 1, m_end, " />");
  if (nameEnd == m_end) return {Tag::Failed, nullptr, open};
  SetTextRange(open + 1, nameEnd, node.name, true, 0);

  pos = ReadAttributes(node, nameEnd);
  if (pos == nullptr) return {Tag::Failed, nullptr, open};
  if (*pos == '/') {
    if (pos + 1 < m_end && pos[1] == '>') return {Tag::Complete, pos + 2, open};
    RecordError(m_options, XmlParseError::ElementNotClosed, pos + 1, node.name);
    return {Tag::Failed, nullptr, open};
  }
  ++pos;  // over ">"
  if (IsBlank(node.value)) pos = ReadText(node, pos);
  return {Tag::Open, pos, open};
}

// A finished element joins its parent when it has a name; an unnamed one is dropped.
void Parser::Close(std::vector<Frame>& stack) {
  Frame frame = std::move(stack.back());
  stack.pop_back();
  if (frame.owned && !frame.owned->name.empty() && !stack.empty())
    stack.back().node->children.push_back(std::move(frame.owned));
}

const char* Parser::Run(XmlNode& root, const char* pos) {
  TagResult first = ReadStartTag(root, pos);
  if (first.tag != Tag::Open) return first.pos;

  std::vector<Frame> stack;
  stack.push_back({&root, nullptr});
  pos = first.pos;
  bool childReturned = false;
  const char* result = nullptr;
  while (!stack.empty()) {
    XmlNode& node = *stack.back().node;
    if (childReturned) {
      childReturned = false;
      if (pos + 1 < m_end && pos[0] == '<' && pos[1] == '/') {
        const char* nameStart = SkipWhitespace(pos + 2);
        const char* nameEnd = FindMarkup(nameStart, m_end, " >");
        if (nameEnd == m_end) {
          RecordError(m_options, XmlParseError::ClosingTagOpen, nameStart, node.name);
          break;
        }
        std::string closingName;
        SetTextRange(nameStart, nameEnd, closingName, false, 0);
        if (closingName != node.name) {
          RecordError(m_options, XmlParseError::ClosingTagMismatch, nameEnd + 1, node.name, closingName);
          break;
        }
        pos = nameEnd + 1;
        result = pos;
        Close(stack);
        childReturned = true;
        continue;
      }
      if (IsBlank(node.value) && pos < m_end && *pos != '<') pos = ReadText(node, pos);
    }
    if (pos >= m_end) {
      // Still open at the end of the text: accepted as it stands.
      result = m_end;
      Close(stack);
      childReturned = true;
      continue;
    }
    auto child = std::make_unique<XmlNode>();
    child->parent = &node;
    TagResult tag = ReadStartTag(*child, pos);
    if (tag.tag == Tag::Open && stack.size() >= static_cast<std::size_t>(kXmlMaxParseDepth)) {
      // The refused element is not kept, so no parsed tree is deeper than the limit.
      RecordError(m_options, XmlParseError::TooDeep, tag.start, std::to_string(kXmlMaxParseDepth));
      break;
    }
    if (tag.tag == Tag::Open) {
      stack.push_back({child.get(), std::move(child)});
      pos = tag.pos;
      continue;
    }
    if (!child->name.empty()) node.children.push_back(std::move(child));
    if (tag.tag == Tag::Failed) break;
    pos = tag.pos;
    childReturned = true;
  }
  if (stack.empty()) return result;
  // Failure: every element still open keeps what it read and joins its parent.
  while (!stack.empty()) Close(stack);
  return nullptr;
}

}  // namespace

const char* XmlNode::Parse(std::string_view text, XmlParseOptions& options) {
  Parser parser(text.data(), text.data() + text.size(), options);
  return parser.Run(*this, text.data());
}

const char* XmlNode::Parse(const char* text, XmlParseOptions& options) {
  if (text == nullptr) {
    Clear();
    return nullptr;
  }
  return Parse(std::string_view(text), options);
}
