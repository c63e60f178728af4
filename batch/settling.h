// Settling from the service's own record: what the service holds under a recipient's
// reference key and phone says whether its message arrived, where the client cannot know.
// A key of the batch's own is unique by construction; for a key the user gave, the entries
// the service held before the first send (the baseline) are subtracted. An answer that fails
// or reaches the service's list limit settles nothing.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "batch/batch_journal.h"
#include "batch/status_entries.h"

// What the service answered for one reference key.
struct StatusAnswer {
  bool ok = false;      // the call worked and its text was a status list
  std::string problem;  // why not
  std::vector<StatusEntry> entries;
  bool Capped() const { return entries.size() >= kStatusListLimit; }
};

// Asks the service about one reference key. Calls go one at a time: they share one result buffer.
using StatusLookup = std::function<StatusAnswer(const std::string& refKey)>;
// The lookup through the library's exports (GetStatusByRef_All), its text copied at once.
StatusAnswer AskServiceStatus(const std::string& refKey);

enum class Holding { Held, NotHeld, CannotTell };

struct Verdict {
  Holding holding = Holding::CannotTell;
  RecipientState state = RecipientState::Unknown;  // for Held: accepted or 800
  long long count = 0;                             // entries for the recipient's phone
};

// Entries the answer holds for `phone`; -1 when the answer cannot be counted on.
long long CountFor(const StatusAnswer& answer, const std::string& phone);
// Whether the service holds the recipient's message beyond its baseline.
Verdict Judge(const JournalRecipient& recipient, const StatusAnswer& answer);

// Asks once per reference key (recipients sharing a key share the answer).
class StatusCache {
 public:
  explicit StatusCache(StatusLookup lookup) : m_lookup(std::move(lookup)) {}
  const StatusAnswer& Ask(const std::string& refKey);
  void Forget() { m_answers.clear(); }
  int Calls() const { return m_calls; }

 private:
  StatusLookup m_lookup;
  std::vector<std::pair<std::string, StatusAnswer>> m_answers;
  int m_calls = 0;
};

// The notes of one window of messages, read together.
struct WindowNotes {
  int accepted = 0, with800 = 0, refused = 0, errors = 0, unreadable = 0;
  std::vector<int> sequences;
  // The one service answer all of them share (Accepted, Code800 or Refused); Unknown otherwise.
  RecipientState Alike(int size) const;
  std::string SequenceText() const;
};
WindowNotes ReadWindowNotes(const std::vector<std::string>& notes);

// Settles a window whose notes differ or hold an "error": held recipients get the service's
// state; those not held are refused when the notes account for them exactly (no error, the
// held ones matching the accepted and 800 notes, the rest matching the refusals); otherwise
// they stay unknown, to be settled once their deadline has passed.
std::vector<RecipientAnswer> SettleWindow(const std::vector<JournalRecipient>& window, const WindowNotes& notes,
                                          StatusCache& status);

// For a recipient in flight or unknown: held → its state; not held and past its deadline
// (`now` ≥ mark + deadline) → queued again; otherwise it stays unknown.
RecipientAnswer SettleUnanswered(const JournalRecipient& recipient, StatusCache& status, long long now);
// Past its deadline: the service can no longer store a message the recipient's call sent.
bool PastDeadline(const JournalRecipient& recipient, long long now);
