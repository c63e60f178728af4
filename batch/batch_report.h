// A batch's recipients as people and scripts read them: counts, a summary line, CSV and JSON.
#pragma once

#include <string>
#include <vector>

#include "batch/batch_journal.h"

struct BatchCounts {
  int total = 0;
  int accepted = 0;
  int with800 = 0;
  int refused = 0;
  int errors = 0;
  int unknown = 0;  // in flight counts here: its answer was never recorded
  int queued = 0;
};

BatchCounts CountStates(const std::vector<JournalRecipient>& recipients);
// "4 messages (LMS): 1 sent, 1 with 800, 1 failed, 1 errors[, N unknown][, N not sent]"
std::string SummaryLine(const BatchCounts& counts, const std::string& kind);
// The sequence number as text; empty when there is none.
std::string SequenceText(const JournalRecipient& r);

// One CSV cell (RFC 4180). A cell that a spreadsheet would run as a formula (it begins with
// '=', '+', '-', '@', TAB or CR) gets a leading apostrophe.
std::string CsvCell(const std::string& text);
// line, phone, ref_key, state, sequence, window_sequences, delivery, asked_at; a header line first.
std::string RecipientCsv(const std::vector<JournalRecipient>& recipients);

// A JSON string literal of text in the process's ANSI code page (written as UTF-8; a byte
// that is no character there becomes U+FFFD).
std::string JsonString(const std::string& ansi);
// {"queued": N, "in flight": N, "accepted": N, "800": N, "refused": N, "error": N, "unknown": N}
std::string CountsJson(const std::vector<JournalRecipient>& recipients);
// One object per recipient: line, phone, ref_key, state, sequence (null when not its own),
// window_sequences, delivery and asked_at (null when never asked).
std::string RecipientsJson(const std::vector<JournalRecipient>& recipients);
