#include "batch/send_progress.h"

#include <cctype>

namespace {

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (unsigned char c : text) {
    if (!std::isdigit(c)) return false;
  }
  return true;
}

}  // namespace

void SendProgress::Note(const std::string& text) {
  if (text == "end") {
    m_bEnd = true;
  } else if (text == "fail") {
    ++m_nFail;
  } else if (text == "error") {
    ++m_nError;
  } else if (text.size() > 4 && text.compare(text.size() - 4, 4, "/800") == 0 &&
             AllDigits(text.substr(0, text.size() - 4))) {
    ++m_n800;
  } else if (AllDigits(text)) {
    ++m_nSent;
  } else {
    ++m_nUnknown;  // not a text the library sends; shown in the summary, not counted
  }
}

std::string SendProgress::Line() const {
  return "sent " + std::to_string(m_nSent) + ", 800 " + std::to_string(m_n800) + ", fail " + std::to_string(m_nFail) +
         ", error " + std::to_string(m_nError) + " of " + std::to_string(m_nTotal);
}
