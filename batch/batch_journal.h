// The journal of one batch: a small SQLite file holding every recipient with what is known
// of it. Every change is committed at once, so a kill at any moment leaves a true record.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct sqlite3;

enum class RecipientState { Queued, InFlight, Accepted, Code800, Refused, Error, Unknown };

// "queued", "in flight", "accepted", "800", "refused", "error", "unknown".
const char* StateName(RecipientState state);

struct JournalRecipient {
  int line = 0;
  std::string phone;
  std::string refKey;
  RecipientState state = RecipientState::Queued;
  int sequence = -1;  // the service's sequence number, for accepted and 800
};

// What every message of the batch shares, kept so that a resume sends the same.
struct BatchSettings {
  std::string batchId;
  std::string userId;
  std::string kind;  // "sms" or "lms"
  std::string callback;
  std::string subject;
  std::string message;
  std::string reserve;
  std::string usears;
  std::string source;  // the recipients file, or "--to"
};

// A new batch id: UTC date and time and a random part, e.g. "20261209-145230-a3f9".
std::string NewBatchId();
// Where journals go by default: $XDG_STATE_HOME/norvosms, else ~/.local/state/norvosms.
std::string DefaultJournalFolder();

class BatchJournal {
 public:
  ~BatchJournal();

  // A new journal file (never an existing one) holding every recipient as queued. Recipients
  // without a reference key get "<batch id>-<line>". Null with `problem` set on failure.
  static std::unique_ptr<BatchJournal> Create(const std::string& path, const BatchSettings& settings,
                                              std::vector<JournalRecipient> recipients, std::string& problem);
  static std::unique_ptr<BatchJournal> Open(const std::string& path, std::string& problem);

  const BatchSettings& Settings() const { return m_settings; }
  const std::string& Path() const { return m_path; }
  std::vector<JournalRecipient> Recipients();

  // Claims a recipient for sending: it must be queued (or unknown, when `unknownToo`). The
  // change reaches the disk before this returns, so a message never goes out unrecorded.
  bool MarkInFlight(int line, bool unknownToo);
  // The answer for a recipient in flight.
  bool Record(int line, RecipientState state, int sequence = -1);
  // Every recipient still in flight (its answer was never recorded) becomes unknown.
  int InFlightToUnknown();

  const std::string& LastError() const { return m_lastError; }

 private:
  BatchJournal() = default;
  bool Exec(const char* sql);
  bool Prepare(const std::string& path, int flags, std::string& problem);

  sqlite3* m_db = nullptr;
  std::string m_path;
  BatchSettings m_settings;
  std::string m_lastError;
};
