#include "batch/batch_input.h"

#include <windows.h>

#include <cstdio>
#include <map>
#include <memory>

#include "text/ansi_text.h"

namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

int Number(const std::string& text, std::size_t at, std::size_t digits) {
  int value = 0;
  for (std::size_t i = at; i < at + digits; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

bool HasControl(const std::string& text) {
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
}

// The first character of UTF-8 text that an XML document cannot carry (controls other than TAB,
// CR and LF, NUL included, and U+FFFE/U+FFFF), as "U+XXXX"; empty when there is none.
std::string XmlUnfit(const std::string& utf8) {
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    unsigned code = 0;
    if (c < 0x20 && c != '\t' && c != '\r' && c != '\n') {
      code = c;
    } else if (c == 0xEF && i + 2 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) == 0xBF &&
               (static_cast<unsigned char>(utf8[i + 2]) == 0xBE || static_cast<unsigned char>(utf8[i + 2]) == 0xBF)) {
      code = static_cast<unsigned char>(utf8[i + 2]) == 0xBE ? 0xFFFE : 0xFFFF;
    } else {
      continue;
    }
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", code);
    return text;
  }
  return "";
}

// Splits a recipients line into fields at blanks and commas.
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t at = 0;
  while (at < line.size()) {
    std::size_t start = line.find_first_not_of(" \t\r,", at);
    if (start == std::string::npos) break;
    std::size_t stop = line.find_first_of(" \t\r,", start);
    fields.push_back(line.substr(start, stop == std::string::npos ? std::string::npos : stop - start));
    at = stop == std::string::npos ? line.size() : stop;
  }
  return fields;
}

void ReadLine(const std::string& raw, std::size_t number, std::vector<RecipientLine>& recipients,
              std::vector<InputFault>& faults) {
  if (!IsUtf8(raw)) {
    faults.push_back({number, "not UTF-8 text"});
    return;
  }
  std::string line = raw;
  if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
  std::vector<std::string> fields = Fields(line);
  if (fields.empty()) return;
  if (fields.size() > 2) {
    faults.push_back({number, "expected PHONE [REF_KEY]"});
    return;
  }
  recipients.push_back({number, fields[0], fields.size() > 1 ? fields[1] : ""});
}

}  // namespace

bool IsPhoneNumber(const std::string& text) {
  std::size_t digits = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (Digit(text[i])) {
      ++digits;
    } else if (text[i] != '-' || i == 0 || i + 1 == text.size() || text[i - 1] == '-') {
      return false;
    }
  }
  return digits >= kMinPhoneDigits && digits <= kMaxPhoneDigits;
}

bool IsReservation(const std::string& text) {
  static const char kShape[] = "dddd-dd-dd dd:dd";
  if (text.size() != sizeof kShape - 1) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (kShape[i] == 'd' ? !Digit(text[i]) : text[i] != kShape[i]) return false;
  }
  int year = Number(text, 0, 4), month = Number(text, 5, 2), day = Number(text, 8, 2);
  int hour = Number(text, 11, 2), minute = Number(text, 14, 2);
  return year >= 1970 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month) && hour <= 23 &&
         minute <= 59;
}

bool IsUtf8(const std::string& text) { return IsValidUtf8(text); }

bool ToAnsi(const std::string& utf8, std::string& ansi) { return AnsiFromUtf8Exactly(utf8, ansi); }

bool ReadRecipientFile(const std::string& path, std::vector<RecipientLine>& recipients,
                       std::vector<InputFault>& faults) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) {
    faults.push_back({0, "cannot read " + path});
    return false;
  }
  if (!ReadRecipients(file.get(), recipients, faults)) return false;
  if (std::ferror(file.get())) {
    faults.push_back({0, "cannot read " + path});
    return false;
  }
  if (recipients.empty() && faults.empty()) faults.push_back({0, path + ": no recipients"});
  return true;
}

bool ReadRecipients(std::FILE* from, std::vector<RecipientLine>& recipients, std::vector<InputFault>& faults) {
  std::string line;
  std::size_t number = 1;
  bool first = true;
  char buffer[8192];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, from)) > 0) {
    std::size_t start = 0;
    if (first) {
      first = false;
      if (got >= 3 && static_cast<unsigned char>(buffer[0]) == 0xEF && static_cast<unsigned char>(buffer[1]) == 0xBB &&
          static_cast<unsigned char>(buffer[2]) == 0xBF)
        start = 3;
    }
    for (std::size_t i = start; i < got; ++i) {
      if (buffer[i] != '\n') {
        if (line.size() >= kMaxLineBytes) {
          faults.push_back({number, "line longer than " + std::to_string(kMaxLineBytes) + " bytes"});
          return false;
        }
        line += buffer[i];
        continue;
      }
      ReadLine(line, number++, recipients, faults);
      line.clear();
      if (recipients.size() > kMaxRecipients) {
        faults.push_back({number - 1, "more than " + std::to_string(kMaxRecipients) + " recipients"});
        return false;
      }
    }
  }
  if (!line.empty()) ReadLine(line, number, recipients, faults);
  if (recipients.size() > kMaxRecipients) {
    faults.push_back({number, "more than " + std::to_string(kMaxRecipients) + " recipients"});
    return false;
  }
  return true;
}

void CheckMessageFields(MessageFields& fields, std::vector<InputFault>& faults) {
  if (!IsPhoneNumber(fields.callback))
    faults.push_back({0, "--callback: not a phone number (digits and dashes, 8 to 15 digits)"});
  if (fields.message.empty()) faults.push_back({0, "the message is empty"});
  const std::string unfitMessage = XmlUnfit(fields.message), unfitSubject = XmlUnfit(fields.subject);
  if (!unfitMessage.empty()) {
    faults.push_back({0, "the message holds the control character " + unfitMessage + ", which cannot be sent"});
  } else if (!ToAnsi(fields.message, fields.message)) {
    faults.push_back({0, "the message is not UTF-8 text or holds characters the code page cannot hold"});
  } else if (fields.message.size() > kMaxMessageBytes) {
    faults.push_back({0, "the message is longer than " + std::to_string(kMaxMessageBytes) + " bytes"});
  }
  if (!unfitSubject.empty()) {
    faults.push_back({0, "--subject: holds the control character " + unfitSubject + ", which cannot be sent"});
  } else if (!ToAnsi(fields.subject, fields.subject) || HasControl(fields.subject)) {
    faults.push_back({0, "--subject: not UTF-8 text on one line that the code page can hold"});
  } else if (fields.subject.size() > kMaxSubjectBytes) {
    faults.push_back({0, "--subject: longer than " + std::to_string(kMaxSubjectBytes) + " bytes"});
  }
  if (!fields.reserve.empty() && !IsReservation(fields.reserve))
    faults.push_back({0, "--reserve: expected a real date and time as \"YYYY-MM-DD HH:MM\""});
}

void CheckRecipients(std::vector<RecipientLine>& recipients, std::vector<InputFault>& faults) {
  // A (ref_key, phone) pair twice in one batch could not be told apart in the service's record.
  std::map<std::pair<std::string, std::string>, std::size_t> pairs;
  for (RecipientLine& r : recipients) {
    if (!IsPhoneNumber(r.phone)) faults.push_back({r.line, "not a phone number (digits and dashes, 8 to 15 digits)"});
    if (r.refKey.empty()) continue;
    const std::string unfit = XmlUnfit(r.refKey);
    if (!unfit.empty()) {
      faults.push_back({r.line, "the reference key holds the control character " + unfit + ", which cannot be sent"});
    } else if (!ToAnsi(r.refKey, r.refKey) || HasControl(r.refKey)) {
      faults.push_back({r.line, "the reference key is not text the code page can hold"});
    } else if (r.refKey.size() > kMaxRefKeyBytes) {
      faults.push_back({r.line, "the reference key is longer than " + std::to_string(kMaxRefKeyBytes) + " bytes"});
    } else if (auto [it, fresh] = pairs.emplace(std::make_pair(r.refKey, r.phone), r.line); !fresh) {
      faults.push_back({r.line, "the reference key and phone repeat line " + std::to_string(it->second) +
                                    " (each pair once per batch, or the service's record cannot tell them apart)"});
    }
  }
}

std::string DescribeFaults(const std::string& file, const std::vector<InputFault>& faults) {
  std::string out;
  for (std::size_t i = 0; i < faults.size() && i < kMaxFaultsListed; ++i) {
    if (faults[i].line != 0) out += file + ":" + std::to_string(faults[i].line) + ": ";
    out += faults[i].what + "\n";
  }
  if (faults.size() > kMaxFaultsListed)
    out += "... and " + std::to_string(faults.size() - kMaxFaultsListed) + " more\n";
  return out;
}
