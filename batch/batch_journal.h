// The journal of one batch: a small SQLite file holding every recipient with what is known of
// it. Every change is one transaction that reaches the disk before it returns, so a kill or a
// power cut at any moment leaves a true record. The file is checked before it is believed: a
// summary (recipient count and count per state) is kept by triggers in the same transaction as
// every change, and opening compares it with the rows after SQLite's quick check.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;
class JournalLock;

enum class RecipientState { Queued, InFlight, Accepted, Code800, Refused, Error, Unknown };

// "queued", "in flight", "accepted", "800", "refused", "error", "unknown".
const char* StateName(RecipientState state);
// False for a text that names no state.
bool StateFromName(const std::string& name, RecipientState& state);

struct JournalRecipient {
  int line = 0;
  std::string phone;
  std::string refKey;
  RecipientState state = RecipientState::Queued;
  int sequence = -1;    // the service's sequence number when it is this recipient's alone
  bool ownKey = false;  // the key was derived from the batch id and the line: unique by construction
  // Entries the service held for (refKey, phone) before the first send; -1 while not known.
  long long baseline = -1;
  long long markedAt = 0;       // when it was last put in flight (Unix seconds); 0 never
  int deadline = 0;             // the whole-call deadline in force at that mark, in seconds
  std::string windowSequences;  // its window's sequence numbers ("4 5 6") when not tied to one
  std::string delivery;         // the service's status at the last refresh
  std::string askedAt;          // when that was asked
};

// What a window learnt of one recipient.
struct RecipientAnswer {
  int line = 0;
  RecipientState state = RecipientState::Unknown;
  int sequence = -1;
  std::string windowSequences;
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
// Seconds since the epoch.
long long UnixNow();
// The time as the journal writes it, in UTC: "2026-12-09T15:00:50Z".
std::string JournalTimeNow();

// Why a journal could not be opened.
enum class JournalFault { None, Missing, InUse, Damaged, Other };

class BatchJournal {
 public:
  ~BatchJournal();

  // A new journal (never over an existing one, except an empty file that a kill during an
  // earlier creation left) holding every recipient as queued. Recipients without a reference
  // key get "<batch id>-<line>". The file appears complete or not at all. The journal is held
  // for this process (one run per journal). Null with `problem` set on failure.
  static std::unique_ptr<BatchJournal> Create(const std::string& path, const BatchSettings& settings,
                                              std::vector<JournalRecipient> recipients, std::string& problem);
  // An existing journal for a run: held for this process, checked, refused when damaged.
  static std::unique_ptr<BatchJournal> Open(const std::string& path, std::string& problem,
                                            JournalFault* fault = nullptr);
  // An existing journal to look at, not held: a damaged one still opens when anything of it
  // can be read, with Damage() saying what is wrong.
  static std::unique_ptr<BatchJournal> OpenForReading(const std::string& path, std::string& problem);

  const BatchSettings& Settings() const { return m_settings; }
  const std::string& Path() const { return m_path; }
  // Empty for a sound journal.
  const std::string& Damage() const { return m_damage; }
  // Every recipient that can be read, by line.
  std::vector<JournalRecipient> Recipients();

  // One durable transaction: `answers` are recorded, then each of `lines` that is queued (or
  // unknown, when `unknownToo`) is marked in flight with the time and `deadlineSeconds`.
  // `claimed` gets the lines marked; false (nothing changed) when the journal cannot be written.
  bool BeginWindow(const std::vector<RecipientAnswer>& answers, const std::vector<int>& lines, bool unknownToo,
                   int deadlineSeconds, std::vector<int>& claimed);
  // One durable transaction: each of `lines` still in flight gets a new mark time and deadline.
  bool RenewMarks(const std::vector<int>& lines, int deadlineSeconds);
  // One durable transaction recording `answers` (a state of Queued puts a recipient back).
  bool Record(const std::vector<RecipientAnswer>& answers);
  // How many entries the service held for each line's (ref_key, phone) before its first send.
  bool SetBaselines(const std::vector<std::pair<int, long long>>& baselines);
  // Every recipient still in flight (its answer was never recorded) becomes unknown.
  int InFlightToUnknown();

  // Single-recipient forms of the above.
  bool MarkInFlight(int line, bool unknownToo, int deadlineSeconds = 0);
  bool Record(int line, RecipientState state, int sequence = -1);

  // A delivery-status refresh: its start time ("" when none is under way); a refresh asks
  // every recipient whose last answer is older than its start, so a stopped one continues.
  std::string RefreshStarted();
  bool StartRefresh(const std::string& at);
  bool RecordDelivery(int line, const std::string& delivery, const std::string& askedAt);
  bool FinishRefresh();

  // Time spent committing, for the benchmark's figures.
  double CommitMilliseconds() const { return m_commitMilliseconds; }
  int Commits() const { return m_commits; }

  const std::string& LastError() const { return m_lastError; }

 private:
  BatchJournal();
  bool Exec(const char* sql);
  bool Connect(const std::string& path, int flags, std::string& problem);
  bool ReadSettings(std::string& problem);
  bool Migrate(std::string& problem);
  bool Check(std::string& problem);
  bool Transaction(const std::function<bool()>& body);
  bool RecordInside(const RecipientAnswer& answer);
  bool SetSetting(const char* name, const std::string& value);

  sqlite3* m_db = nullptr;
  std::unique_ptr<JournalLock> m_lock;
  std::string m_path;
  BatchSettings m_settings;
  std::string m_damage;
  std::string m_lastError;
  double m_commitMilliseconds = 0;
  int m_commits = 0;
};
