// Reads the message boxes that MessageBoxA recorded in NORVOSMS_MESSAGEBOX_LOG's file.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace norvosms_test {

struct MessageBoxRecord {
  unsigned type = 0;
  std::string caption;  // ANSI code page bytes, as given
  std::string text;
};

inline std::string UnescapeMessageBoxField(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      out += field[i];
      continue;
    }
    char c = field[++i];
    out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
  }
  return out;
}

inline std::vector<MessageBoxRecord> ReadMessageBoxLog(const std::string& path) {
  std::vector<MessageBoxRecord> records;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    std::size_t first = line.find('\t');
    std::size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
    if (second == std::string::npos) continue;
    MessageBoxRecord record;
    record.type = static_cast<unsigned>(std::strtoul(line.substr(0, first).c_str(), nullptr, 10));
    record.caption = UnescapeMessageBoxField(line.substr(first + 1, second - first - 1));
    record.text = UnescapeMessageBoxField(line.substr(second + 1));
    records.push_back(record);
  }
  return records;
}

// The texts only, in order.
inline std::vector<std::string> MessageBoxTexts(const std::string& path) {
  std::vector<std::string> texts;
  for (const MessageBoxRecord& r : ReadMessageBoxLog(path)) texts.push_back(r.text);
  return texts;
}

}  // namespace norvosms_test
