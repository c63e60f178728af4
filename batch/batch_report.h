// A batch's recipients as people read them: counts, a summary line, a table and CSV.
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
// line, phone, reference key, state and sequence number as CSV (RFC 4180), with a header line.
std::string RecipientCsv(const std::vector<JournalRecipient>& recipients);
