#include "batch/batch_journal.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <random>

#include "batch/journal_lock.h"
#include "batch/journal_sql.h"

using namespace journal_sql;

namespace {

constexpr int kBusyMilliseconds = 5000;
constexpr const char* kSchemaVersion = "2";

const RecipientState kStates[] = {RecipientState::Queued,  RecipientState::InFlight, RecipientState::Accepted,
                                  RecipientState::Code800, RecipientState::Refused,  RecipientState::Error,
                                  RecipientState::Unknown};

struct SettingField {
  const char* name;
  std::string BatchSettings::*field;
};
const SettingField kSettingFields[] = {
    {"batch_id", &BatchSettings::batchId},  {"user_id", &BatchSettings::userId},  {"kind", &BatchSettings::kind},
    {"callback", &BatchSettings::callback}, {"subject", &BatchSettings::subject}, {"message", &BatchSettings::message},
    {"reserve", &BatchSettings::reserve},   {"usears", &BatchSettings::usears},   {"source", &BatchSettings::source},
};

bool EmptyFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error) && std::filesystem::file_size(path, error) == 0 && !error;
}

const char kEmptyJournal[] =
    " is empty: a run was killed while making it, before anything was sent; send the batch again"
    " (the journal is made anew)";

}  // namespace

const char* StateName(RecipientState state) {
  switch (state) {
    case RecipientState::Queued: return "queued";
    case RecipientState::InFlight: return "in flight";
    case RecipientState::Accepted: return "accepted";
    case RecipientState::Code800: return "800";
    case RecipientState::Refused: return "refused";
    case RecipientState::Error: return "error";
    case RecipientState::Unknown: return "unknown";
  }
  return "unknown";
}

bool StateFromName(const std::string& name, RecipientState& state) {
  for (RecipientState s : kStates) {
    if (name == StateName(s)) {
      state = s;
      return true;
    }
  }
  return false;
}

std::string NewBatchId() {
  char stamp[32];
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
  std::random_device random;
  char tail[8];
  std::snprintf(tail, sizeof tail, "-%04x", static_cast<unsigned>(random() & 0xFFFF));
  return std::string(stamp) + tail;
}

std::string DefaultJournalFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return std::string(state) + "/norvosms";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr && home[0] != '\0' ? home : ".") + "/.local/state/norvosms";
}

long long UnixNow() { return static_cast<long long>(std::time(nullptr)); }

std::string JournalTimeNow() { return Now(); }

BatchJournal::BatchJournal() = default;
BatchJournal::~BatchJournal() { sqlite3_close(m_db); }

bool BatchJournal::Exec(const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(m_db, sql, nullptr, nullptr, &error) == SQLITE_OK) return true;
  m_lastError = error != nullptr ? error : sqlite3_errmsg(m_db);
  sqlite3_free(error);
  return false;
}

bool BatchJournal::Connect(const std::string& path, int flags, std::string& problem) {
  m_path = path;
  if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
    problem = "cannot open the journal " + path + ": " + sqlite3_errmsg(m_db);
    return false;
  }
  sqlite3_busy_timeout(m_db, kBusyMilliseconds);
  // A rollback journal, never WAL: committed state lives in the one file, so a journal copied
  // as one file never reads as an older state that would send again. PERSIST keeps the rollback
  // file (its header zeroed at each commit) instead of deleting it, which halves a commit's cost.
  // FULL: every commit is on the disk before the messages it marks go out.
  if ((flags & SQLITE_OPEN_READWRITE) != 0 &&
      (!Exec("PRAGMA journal_mode=PERSIST") || !Exec("PRAGMA synchronous=FULL"))) {
    problem = "cannot use the journal " + path + ": " + m_lastError;
    return false;
  }
  return true;
}

bool BatchJournal::Transaction(const std::function<bool()>& body) {
  if (!Exec("BEGIN IMMEDIATE")) return false;
  if (!body()) {
    if (m_lastError.empty()) m_lastError = sqlite3_errmsg(m_db);
    std::string error = m_lastError;
    Exec("ROLLBACK");
    m_lastError = error;
    return false;
  }
  const auto start = std::chrono::steady_clock::now();
  if (!Exec("COMMIT")) {
    std::string error = m_lastError;
    Exec("ROLLBACK");
    m_lastError = error;
    return false;
  }
  m_commitMilliseconds += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  ++m_commits;
  return true;
}

std::unique_ptr<BatchJournal> BatchJournal::Create(const std::string& path, const BatchSettings& settings,
                                                   std::vector<JournalRecipient> recipients, std::string& problem) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path folder = fs::path(path).parent_path();
  if (!folder.empty() && !fs::exists(folder, error)) {
    fs::create_directories(folder, error);
    fs::permissions(folder, fs::perms::owner_all, error);  // phone numbers and texts are private
  }
  std::unique_ptr<BatchJournal> journal(new BatchJournal());
  journal->m_lock = JournalLock::Acquire(path, problem);
  if (!journal->m_lock) return nullptr;
  if (EmptyFile(path)) fs::remove(path, error);  // left by a kill in an older version's creation
  if (fs::exists(fs::symlink_status(path, error))) {
    problem = "the journal " + path + " exists already";
    return nullptr;
  }
  // Filled under a name of its own and linked into place complete, so that a kill at any point
  // leaves either no journal or a whole one.
  const std::string draft = path + ".new-" + std::to_string(getpid());
  fs::remove(draft, error);
  int fd = open(draft.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    problem = "cannot create the journal " + path;
    return nullptr;
  }
  close(fd);
  journal->m_settings = settings;
  bool ok = journal->Connect(draft, SQLITE_OPEN_READWRITE, problem);
  if (!ok) {
    fs::remove(draft, error);
    return nullptr;
  }
  BatchJournal& j = *journal;
  ok = j.Transaction([&] {
    if (!j.Exec(kSchema)) return false;
    for (const char* column : kNewColumns)
      if (!j.Exec(("ALTER TABLE recipients ADD COLUMN " + std::string(column)).c_str())) return false;
    if (!j.Exec(kSummary)) return false;
    Statement put(j.m_db, "INSERT INTO batch (name, value) VALUES (?, ?)");
    bool fine = put.Text(1, "schema").Text(2, kSchemaVersion).Step() == SQLITE_DONE && put.Reset();
    for (const SettingField& f : kSettingFields)
      fine = fine && put.Text(1, f.name).Text(2, settings.*f.field).Step() == SQLITE_DONE && put.Reset();
    Statement add(j.m_db,
                  "INSERT INTO recipients (line, phone, ref_key, own_key, baseline, state, updated)"
                  " VALUES (?, ?, ?, ?, ?, 'queued', ?)");
    const std::string now = Now();
    for (JournalRecipient& r : recipients) {
      const bool own = r.refKey.empty();
      if (own) r.refKey = settings.batchId + "-" + std::to_string(r.line);
      add.Int(1, r.line).Text(2, r.phone).Text(3, r.refKey).Int(4, own ? 1 : 0).Text(6, now);
      // A key of this batch's own: the service held nothing under it before.
      if (own)
        add.Int(5, 0);
      else
        add.Null(5);
      fine = fine && add.Step() == SQLITE_DONE && add.Reset();
    }
    return fine;
  });
  sqlite3_close(j.m_db);
  j.m_db = nullptr;
  const bool placed = ok && link(draft.c_str(), path.c_str()) == 0;
  fs::remove(draft, error);
  fs::remove(draft + "-journal", error);
  if (!placed) {
    problem = ok ? "cannot place the journal " + path + (fs::exists(path, error) ? ": it exists already" : "")
                 : "cannot write the journal " + path + ": " + j.m_lastError;
    return nullptr;
  }
  if (int dir = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    fsync(dir);  // the new name survives a power cut too
    close(dir);
  }
  if (!journal->Connect(path, SQLITE_OPEN_READWRITE, problem)) return nullptr;
  return journal;
}

bool BatchJournal::ReadSettings(std::string& problem) {
  Statement get(m_db, "SELECT name, value FROM batch");
  if (!get.Ok()) {
    problem = m_path + " is not a batch journal";
    return false;
  }
  int found = 0;
  while (get.Step() == SQLITE_ROW) {
    const std::string name = get.Column(0);
    for (const SettingField& f : kSettingFields) {
      if (name == f.name) {
        m_settings.*f.field = get.Column(1);
        ++found;
      }
    }
  }
  if (m_settings.batchId.empty() || found == 0) {
    problem = m_path + " is not a batch journal";
    return false;
  }
  return true;
}

std::unique_ptr<BatchJournal> BatchJournal::Open(const std::string& path, std::string& problem, JournalFault* fault) {
  JournalFault ignored;
  JournalFault& why = fault != nullptr ? *fault : ignored;
  why = JournalFault::Missing;
  if (!std::filesystem::is_regular_file(path)) {
    problem = "no journal at " + path;
    return nullptr;
  }
  std::unique_ptr<BatchJournal> journal(new BatchJournal());
  why = JournalFault::InUse;
  journal->m_lock = JournalLock::Acquire(path, problem);
  if (!journal->m_lock) return nullptr;
  why = JournalFault::Other;
  if (EmptyFile(path)) {
    problem = "the journal " + path + kEmptyJournal;
    return nullptr;
  }
  if (!journal->Connect(path, SQLITE_OPEN_READWRITE, problem)) return nullptr;
  if (!journal->ReadSettings(problem) || !journal->Migrate(problem)) {
    std::string damage;
    if (!journal->Check(damage)) {  // unreadable because damaged: say so
      problem = damage;
      why = JournalFault::Damaged;
    }
    return nullptr;
  }
  why = JournalFault::Damaged;
  if (!journal->Check(problem)) return nullptr;
  why = JournalFault::None;
  return journal;
}

std::unique_ptr<BatchJournal> BatchJournal::OpenForReading(const std::string& path, std::string& problem) {
  if (!std::filesystem::is_regular_file(path)) {
    problem = "no journal at " + path;
    return nullptr;
  }
  if (EmptyFile(path)) {
    problem = "the journal " + path + kEmptyJournal;
    return nullptr;
  }
  std::unique_ptr<BatchJournal> journal(new BatchJournal());
  // Read-write, without the settings a run makes: a kill mid-commit leaves a rollback journal
  // that only a connection allowed to write can roll back before reading.
  journal->m_path = path;
  if (sqlite3_open_v2(path.c_str(), &journal->m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(journal->m_db);
    journal->m_db = nullptr;
    if (!journal->Connect(path, SQLITE_OPEN_READONLY, problem)) return nullptr;
  }
  sqlite3_busy_timeout(journal->m_db, kBusyMilliseconds);
  std::string damage;
  if (!journal->ReadSettings(problem)) {
    // Settings on a damaged page: still show the recipients that can be read.
    Statement probe(journal->m_db, "SELECT count(*) FROM recipients");
    if (probe.Step() != SQLITE_ROW) return nullptr;
    journal->m_damage = "its settings cannot be read";
    problem.clear();
    return journal;
  }
  Statement probe(journal->m_db, "SELECT count(*) FROM sqlite_master WHERE name = 'summary'");
  if (probe.Step() == SQLITE_ROW && probe.ColumnInt(0) > 0) journal->Check(damage);
  return journal;
}

std::vector<JournalRecipient> BatchJournal::Recipients() {
  std::vector<JournalRecipient> recipients;
  // The first five columns are the same in both versions of the table.
  auto readFirst = [](Statement& row) {
    JournalRecipient r;
    r.line = static_cast<int>(row.ColumnInt(0));
    r.phone = row.Column(1);
    r.refKey = row.Column(2);
    // A state this version does not know claims nothing about the recipient.
    if (!StateFromName(row.Column(3), r.state)) r.state = RecipientState::Unknown;
    r.sequence = static_cast<int>(row.ColumnInt(4));
    return r;
  };
  Statement get(m_db,
                "SELECT line, phone, ref_key, state, sequence, own_key, baseline, marked_at, deadline,"
                " window_sequences, delivery, asked_at FROM recipients ORDER BY line");
  if (!get.Ok()) {  // a journal of the first version, looked at without a run
    Statement old(m_db, "SELECT line, phone, ref_key, state, sequence FROM recipients ORDER BY line");
    while (old.Step() == SQLITE_ROW) recipients.push_back(readFirst(old));
    return recipients;
  }
  while (get.Step() == SQLITE_ROW) {
    JournalRecipient r = readFirst(get);
    r.ownKey = get.ColumnInt(5) == 1;
    r.baseline = get.ColumnInt(6);
    r.markedAt = std::max(0LL, get.ColumnInt(7));
    r.deadline = static_cast<int>(std::max(0LL, get.ColumnInt(8)));
    r.windowSequences = get.Column(9);
    r.delivery = get.Column(10);
    r.askedAt = get.Column(11);
    recipients.push_back(std::move(r));
  }
  return recipients;
}

bool BatchJournal::RecordInside(const RecipientAnswer& a) {
  Statement put(m_db,
                "UPDATE recipients SET state = ?, sequence = ?, window_sequences = ?, updated = ? WHERE line = ?");
  put.Text(1, StateName(a.state)).Text(4, Now()).Int(5, a.line);
  if (a.sequence >= 0) put.Int(2, a.sequence);
  if (!a.windowSequences.empty()) put.Text(3, a.windowSequences);
  if (put.Step() == SQLITE_DONE) return true;
  m_lastError = sqlite3_errmsg(m_db);
  return false;
}

bool BatchJournal::BeginWindow(const std::vector<RecipientAnswer>& answers, const std::vector<int>& lines,
                               bool unknownToo, int deadlineSeconds, std::vector<int>& claimed) {
  std::vector<int> marked;
  bool ok = Transaction([&] {
    for (const RecipientAnswer& a : answers)
      if (!RecordInside(a)) return false;
    Statement claim(m_db, unknownToo ? "UPDATE recipients SET state = 'in flight', marked_at = ?, deadline = ?,"
                                       " updated = ? WHERE line = ? AND state IN ('queued', 'unknown')"
                                     : "UPDATE recipients SET state = 'in flight', marked_at = ?, deadline = ?,"
                                       " updated = ? WHERE line = ? AND state = 'queued'");
    const std::string now = Now();
    for (int line : lines) {
      if (claim.Int(1, UnixNow()).Int(2, deadlineSeconds).Text(3, now).Int(4, line).Step() != SQLITE_DONE) {
        m_lastError = sqlite3_errmsg(m_db);
        return false;
      }
      if (sqlite3_changes(m_db) == 1) marked.push_back(line);
      claim.Reset();
    }
    return true;
  });
  if (ok) claimed = marked;
  return ok;
}

bool BatchJournal::RenewMarks(const std::vector<int>& lines, int deadlineSeconds) {
  if (lines.empty()) return true;
  return Transaction([&] {
    Statement put(
        m_db, "UPDATE recipients SET marked_at = ?, deadline = ?, updated = ? WHERE line = ? AND state = 'in flight'");
    const std::string now = Now();
    for (int line : lines)
      if (put.Int(1, UnixNow()).Int(2, deadlineSeconds).Text(3, now).Int(4, line).Step() != SQLITE_DONE || !put.Reset())
        return false;
    return true;
  });
}

bool BatchJournal::Record(const std::vector<RecipientAnswer>& answers) {
  if (answers.empty()) return true;
  return Transaction([&] {
    for (const RecipientAnswer& a : answers)
      if (!RecordInside(a)) return false;
    return true;
  });
}

bool BatchJournal::SetBaselines(const std::vector<std::pair<int, long long>>& baselines) {
  if (baselines.empty()) return true;
  return Transaction([&] {
    Statement put(m_db, "UPDATE recipients SET baseline = ? WHERE line = ?");
    for (const auto& [line, count] : baselines)
      if (put.Int(1, count).Int(2, line).Step() != SQLITE_DONE || !put.Reset()) return false;
    return true;
  });
}

int BatchJournal::InFlightToUnknown() {
  int changed = 0;
  Transaction([&] {
    Statement put(m_db, "UPDATE recipients SET state = 'unknown', updated = ? WHERE state = 'in flight'");
    if (put.Text(1, Now()).Step() != SQLITE_DONE) return false;
    changed = sqlite3_changes(m_db);
    return true;
  });
  return changed;
}

bool BatchJournal::MarkInFlight(int line, bool unknownToo, int deadlineSeconds) {
  std::vector<int> claimed;
  return BeginWindow({}, {line}, unknownToo, deadlineSeconds, claimed) && claimed.size() == 1;
}

bool BatchJournal::Record(int line, RecipientState state, int sequence) {
  RecipientAnswer answer;
  answer.line = line;
  answer.state = state;
  answer.sequence = sequence;
  return Record(std::vector<RecipientAnswer>{answer});
}

bool BatchJournal::SetSetting(const char* name, const std::string& value) {
  Statement put(m_db, "INSERT OR REPLACE INTO batch (name, value) VALUES (?, ?)");
  if (put.Text(1, name).Text(2, value).Step() == SQLITE_DONE) return true;
  m_lastError = sqlite3_errmsg(m_db);
  return false;
}

std::string BatchJournal::RefreshStarted() {
  Statement get(m_db, "SELECT value FROM batch WHERE name = 'refresh_started'");
  return get.Step() == SQLITE_ROW ? get.Column(0) : "";
}

bool BatchJournal::StartRefresh(const std::string& at) {
  return Transaction([&] { return SetSetting("refresh_started", at); });
}

bool BatchJournal::RecordDelivery(int line, const std::string& delivery, const std::string& askedAt) {
  return Transaction([&] {
    Statement put(m_db, "UPDATE recipients SET delivery = ?, asked_at = ? WHERE line = ?");
    return put.Text(1, delivery).Text(2, askedAt).Int(3, line).Step() == SQLITE_DONE;
  });
}

bool BatchJournal::FinishRefresh() {
  return Transaction([&] {
    Statement drop(m_db, "DELETE FROM batch WHERE name = 'refresh_started'");
    return drop.Step() == SQLITE_DONE && SetSetting("refreshed", Now());
  });
}
