// ASCII letters compared without regard to case, every other byte exactly. The platform layer's
// own copy: it lies below text/, which holds the same compare for the layers above, and must
// not include it (the framework's Internet classes share this one in both builds).
#pragma once

#include <cstddef>
#include <string_view>

namespace platform_ascii {

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

inline bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace platform_ascii
