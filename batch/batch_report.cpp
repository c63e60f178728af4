#include "batch/batch_report.h"

#include <windows.h>

#include <cstdio>

#include "text/ansi_text.h"

BatchCounts CountStates(const std::vector<JournalRecipient>& recipients) {
  BatchCounts counts;
  for (const JournalRecipient& r : recipients) {
    ++counts.total;
    switch (r.state) {
      case RecipientState::Accepted: ++counts.accepted; break;
      case RecipientState::Code800: ++counts.with800; break;
      case RecipientState::Refused: ++counts.refused; break;
      case RecipientState::Error: ++counts.errors; break;
      case RecipientState::Queued: ++counts.queued; break;
      case RecipientState::InFlight:
      case RecipientState::Unknown: ++counts.unknown; break;
    }
  }
  return counts;
}

std::string SummaryLine(const BatchCounts& c, const std::string& kind) {
  std::string line = std::to_string(c.total) + (c.total == 1 ? " message (" : " messages (") +
                     (kind == "lms" ? "LMS" : "SMS") + "): " + std::to_string(c.accepted) + " sent, " +
                     std::to_string(c.with800) + " with 800, " + std::to_string(c.refused) + " failed, " +
                     std::to_string(c.errors) + " errors";
  if (c.unknown > 0) line += ", " + std::to_string(c.unknown) + " unknown";
  if (c.queued > 0) line += ", " + std::to_string(c.queued) + " not sent";
  return line;
}

std::string SequenceText(const JournalRecipient& r) { return r.sequence >= 0 ? std::to_string(r.sequence) : ""; }

std::string CsvCell(const std::string& text) {
  std::string cell = text;
  if (!cell.empty() && std::string("=+-@\t\r").find(cell[0]) != std::string::npos) cell.insert(0, 1, '\'');
  if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
  std::string out = "\"";
  for (char c : cell) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string RecipientCsv(const std::vector<JournalRecipient>& recipients) {
  std::string out = "line,phone,ref_key,state,sequence,window_sequences,delivery,asked_at\r\n";
  for (const JournalRecipient& r : recipients) {
    out += std::to_string(r.line) + "," + CsvCell(r.phone) + "," + CsvCell(r.refKey) + "," + StateName(r.state) + "," +
           SequenceText(r) + "," + CsvCell(r.windowSequences) + "," + CsvCell(r.delivery) + "," + CsvCell(r.askedAt) +
           "\r\n";
  }
  return out;
}

namespace {

std::string ToUtf8(const std::string& ansi) {
  if (GetACP() == CP_UTF8) return ansi;
  std::string utf8;
  return Utf8FromAnsi(ansi, utf8) ? utf8 : "\xEF\xBF\xBD";
}

// Bytes that are not UTF-8 become U+FFFD, so the JSON stays valid whatever a journal holds.
std::string ValidUtf8(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool ok = length > 0 && i + length <= text.size() && !(length == 2 && c < 0xC2);
    for (std::size_t k = 1; ok && k < length; ++k) ok = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (ok) {
      out.append(text, i, length);
      i += length;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out;
}

}  // namespace

std::string JsonString(const std::string& ansi) {
  const std::string text = ValidUtf8(ToUtf8(ansi));
  std::string out = "\"";
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

std::string CountsJson(const std::vector<JournalRecipient>& recipients) {
  const RecipientState states[] = {RecipientState::Queued,  RecipientState::InFlight, RecipientState::Accepted,
                                   RecipientState::Code800, RecipientState::Refused,  RecipientState::Error,
                                   RecipientState::Unknown};
  std::string out = "{";
  for (RecipientState state : states) {
    int count = 0;
    for (const JournalRecipient& r : recipients) count += r.state == state ? 1 : 0;
    out += std::string(out.size() > 1 ? ", " : "") + JsonString(StateName(state)) + ": " + std::to_string(count);
  }
  return out + "}";
}

std::string RecipientsJson(const std::vector<JournalRecipient>& recipients) {
  std::string out = "[";
  for (const JournalRecipient& r : recipients) {
    out += std::string(out.size() > 1 ? ",\n  " : "\n  ") + "{\"line\": " + std::to_string(r.line) +
           ", \"phone\": " + JsonString(r.phone) + ", \"ref_key\": " + JsonString(r.refKey) +
           ", \"state\": " + JsonString(StateName(r.state)) +
           ", \"sequence\": " + (r.sequence >= 0 ? std::to_string(r.sequence) : "null") + ", \"window_sequences\": [";
    std::string list;
    bool wellFormed = true;  // only what a run writes ("4 5 6"); anything else claims nothing
    for (char c : r.windowSequences) {
      wellFormed = wellFormed && ((c >= '0' && c <= '9') || (c == ' ' && !list.empty() && list.back() != ','));
      list += c == ' ' ? ',' : c;
    }
    if (!wellFormed || (!list.empty() && list.back() == ',')) list.clear();
    out += list + "], \"delivery\": " + (r.askedAt.empty() ? "null" : JsonString(r.delivery)) +
           ", \"asked_at\": " + (r.askedAt.empty() ? "null" : JsonString(r.askedAt)) + "}";
  }
  return out + (recipients.empty() ? "]" : "\n]");
}
