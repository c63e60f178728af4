#include "batch/status_entries.h"

namespace {

// At most this many entries are read, whatever the service claims to cap at.
constexpr std::size_t kMaxEntries = 100000;

class Reader {
 public:
  explicit Reader(const std::string& text) : m_text(text) {}

  void SkipBlanks() {
    while (m_at < m_text.size() &&
           (m_text[m_at] == ' ' || m_text[m_at] == '\t' || m_text[m_at] == '\r' || m_text[m_at] == '\n'))
      ++m_at;
  }
  bool Take(const char* literal) {
    std::size_t length = std::char_traits<char>::length(literal);
    if (m_text.compare(m_at, length, literal) != 0) return false;
    m_at += length;
    return true;
  }
  bool AtEnd() const { return m_at >= m_text.size(); }

  // "<name>", "<name/>" (empty = true) or false when the next thing is no start tag.
  bool StartTag(std::string& name, bool& empty) {
    std::size_t at = m_at;
    if (at >= m_text.size() || m_text[at] != '<') return false;
    ++at;
    std::size_t begin = at;
    while (at < m_text.size() && NameChar(m_text[at])) ++at;
    if (at == begin || at - begin > 64) return false;
    name = m_text.substr(begin, at - begin);
    empty = m_text.compare(at, 2, "/>") == 0;
    if (!empty && (at >= m_text.size() || m_text[at] != '>')) return false;
    m_at = at + (empty ? 2 : 1);
    return true;
  }
  // Character data up to "</name>", entities decoded.
  bool TextUntilEnd(const std::string& name, std::string& value, std::string& problem) {
    const std::string end = "</" + name + ">";
    std::size_t stop = m_text.find('<', m_at);
    if (stop == std::string::npos || m_text.compare(stop, end.size(), end) != 0) {
      problem = "<" + name + "> holds more than text";
      return false;
    }
    if (stop - m_at > kMaxStatusValueBytes) {
      problem = "<" + name + "> is too long";
      return false;
    }
    if (!Decode(m_text.substr(m_at, stop - m_at), value)) {
      problem = "<" + name + "> holds a bad entity";
      return false;
    }
    m_at = stop + end.size();
    return true;
  }

 private:
  static bool NameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
  }
  static bool Decode(const std::string& raw, std::string& out) {
    static const struct {
      const char* name;
      char c;
    } kEntities[] = {{"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}};
    out.clear();
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] != '&') {
        out += raw[i];
        continue;
      }
      bool known = false;
      for (const auto& e : kEntities) {
        std::size_t length = std::char_traits<char>::length(e.name);
        if (raw.compare(i + 1, length, e.name) == 0) {
          out += e.c;
          i += length;
          known = true;
          break;
        }
      }
      if (known) continue;
      // A numeric reference to an ASCII character; the fields read here are ASCII.
      std::size_t semi = raw.find(';', i);
      if (semi == std::string::npos || semi - i > 8 || raw.compare(i + 1, 1, "#") != 0) return false;
      const bool hex = raw.compare(i + 2, 1, "x") == 0;
      unsigned value = 0;
      std::size_t digits = 0;
      for (std::size_t k = i + (hex ? 3 : 2); k < semi; ++k, ++digits) {
        char c = raw[k];
        unsigned d = c >= '0' && c <= '9'          ? c - '0'
                     : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                     : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                   : 99;
        if (d == 99) return false;
        value = value * (hex ? 16 : 10) + d;
      }
      if (digits == 0 || value == 0 || value > 0x7F) return false;
      out += static_cast<char>(value);
      i = semi;
    }
    return true;
  }

  const std::string& m_text;
  std::size_t m_at = 0;
};

bool ReadEntry(Reader& reader, StatusEntry& entry, std::string& problem) {
  struct Field {
    const char* name;
    std::string StatusEntry::*value;
  };
  static const Field kFields[] = {{"phone", &StatusEntry::phone},
                                  {"kind", &StatusEntry::kind},
                                  {"status", &StatusEntry::status},
                                  {"code", &StatusEntry::code},
                                  {"sent_at", &StatusEntry::sentAt}};
  for (int children = 0;; ++children) {
    reader.SkipBlanks();
    if (reader.Take("</entry>")) return true;
    std::string name, value;
    bool empty = false;
    if (children > 32 || !reader.StartTag(name, empty)) {
      problem = "an entry holds something else than fields";
      return false;
    }
    if (!empty && !reader.TextUntilEnd(name, value, problem)) return false;
    for (const Field& f : kFields)
      if (name == f.name) entry.*f.value = value;  // unknown fields are the service's own: skipped
  }
}

}  // namespace

bool ReadStatusEntries(const std::string& text, std::vector<StatusEntry>& entries, std::string& problem) {
  entries.clear();
  if (text.size() > kMaxStatusTextBytes) {
    problem = "the status list is too long";
    return false;
  }
  Reader reader(text);
  reader.SkipBlanks();
  if (reader.Take("<entries/>")) {
    reader.SkipBlanks();
    if (reader.AtEnd()) return true;
    problem = "text after the status list";
    return false;
  }
  if (!reader.Take("<entries>")) {
    problem = "not a status list";
    return false;
  }
  for (;;) {
    reader.SkipBlanks();
    if (reader.Take("</entries>")) break;
    if (entries.size() >= kMaxEntries) {
      problem = "too many status entries";
      return false;
    }
    StatusEntry entry;
    if (reader.Take("<entry/>")) {
      entries.push_back(entry);
      continue;
    }
    if (!reader.Take("<entry>")) {
      problem = reader.AtEnd() ? "the status list ends early" : "the status list holds something else than entries";
      return false;
    }
    if (!ReadEntry(reader, entry, problem)) return false;
    entries.push_back(std::move(entry));
  }
  reader.SkipBlanks();
  if (!reader.AtEnd()) {
    problem = "text after the status list";
    return false;
  }
  return true;
}
