#include "batch/batch_report.h"

std::string SequenceText(const JournalRecipient& r) { return r.sequence >= 0 ? std::to_string(r.sequence) : ""; }

namespace {

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

}  // namespace

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

std::string RecipientCsv(const std::vector<JournalRecipient>& recipients) {
  std::string out = "line,phone,ref_key,state,sequence\r\n";
  for (const JournalRecipient& r : recipients) {
    out += std::to_string(r.line) + "," + CsvField(r.phone) + "," + CsvField(r.refKey) + "," + StateName(r.state) +
           "," + SequenceText(r) + "\r\n";
  }
  return out;
}
