#include "batch/batch_journal.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>

namespace {

constexpr int kBusyMilliseconds = 5000;

const char kSchema[] =
    "CREATE TABLE batch (name TEXT PRIMARY KEY, value TEXT NOT NULL);"
    "CREATE TABLE recipients (line INTEGER PRIMARY KEY, phone TEXT NOT NULL, ref_key TEXT NOT NULL,"
    " state TEXT NOT NULL, sequence INTEGER, updated TEXT NOT NULL);";

const RecipientState kStates[] = {RecipientState::Queued,  RecipientState::InFlight, RecipientState::Accepted,
                                  RecipientState::Code800, RecipientState::Refused,  RecipientState::Error,
                                  RecipientState::Unknown};

RecipientState StateFromName(const std::string& name) {
  for (RecipientState state : kStates)
    if (name == StateName(state)) return state;
  return RecipientState::Unknown;  // a state this version does not know: claim nothing about it
}

// A statement with text parameters bound in order; finalised when it goes out of scope.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
  ~Statement() { sqlite3_finalize(m_stmt); }
  bool Ok() const { return m_stmt != nullptr; }
  Statement& Text(int index, const std::string& value) {
    sqlite3_bind_text(m_stmt, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& Int(int index, int value) {
    sqlite3_bind_int(m_stmt, index, value);
    return *this;
  }
  int Step() { return sqlite3_step(m_stmt); }
  bool Reset() { return sqlite3_reset(m_stmt) == SQLITE_OK; }
  std::string Column(int index) {
    const unsigned char* text = sqlite3_column_text(m_stmt, index);
    return text ? std::string(reinterpret_cast<const char*>(text), sqlite3_column_bytes(m_stmt, index)) : "";
  }
  int ColumnInt(int index) {
    return sqlite3_column_type(m_stmt, index) == SQLITE_NULL ? -1 : sqlite3_column_int(m_stmt, index);
  }

 private:
  sqlite3_stmt* m_stmt = nullptr;
};

std::string Now() {
  char text[32];
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

struct SettingField {
  const char* name;
  std::string BatchSettings::*field;
};
const SettingField kSettingFields[] = {
    {"batch_id", &BatchSettings::batchId},  {"user_id", &BatchSettings::userId},  {"kind", &BatchSettings::kind},
    {"callback", &BatchSettings::callback}, {"subject", &BatchSettings::subject}, {"message", &BatchSettings::message},
    {"reserve", &BatchSettings::reserve},   {"usears", &BatchSettings::usears},   {"source", &BatchSettings::source},
};

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

BatchJournal::~BatchJournal() { sqlite3_close(m_db); }

bool BatchJournal::Exec(const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(m_db, sql, nullptr, nullptr, &error) == SQLITE_OK) return true;
  m_lastError = error != nullptr ? error : sqlite3_errmsg(m_db);
  sqlite3_free(error);
  return false;
}

bool BatchJournal::Prepare(const std::string& path, int flags, std::string& problem) {
  m_path = path;
  if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
    problem = "cannot open the journal " + path + ": " + sqlite3_errmsg(m_db);
    return false;
  }
  sqlite3_busy_timeout(m_db, kBusyMilliseconds);
  // NORMAL: an answer survives a kill of this process; the claims that must also survive a
  // power loss switch to FULL for their own commit.
  if (!Exec("PRAGMA journal_mode=WAL") || !Exec("PRAGMA synchronous=NORMAL")) {
    problem = "cannot use the journal " + path + ": " + m_lastError;
    return false;
  }
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
  // The file is made here, exclusively and private, before SQLite fills it.
  std::FILE* file = std::fopen(path.c_str(), "wx");
  if (file == nullptr) {
    problem = fs::exists(path, error) ? "the journal " + path + " exists already" : "cannot create the journal " + path;
    return nullptr;
  }
  std::fclose(file);
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, error);

  std::unique_ptr<BatchJournal> journal(new BatchJournal());
  journal->m_settings = settings;
  if (!journal->Prepare(path, SQLITE_OPEN_READWRITE, problem)) return nullptr;
  bool ok = journal->Exec("PRAGMA synchronous=FULL") && journal->Exec("BEGIN IMMEDIATE") && journal->Exec(kSchema);
  if (ok) {
    Statement put(journal->m_db, "INSERT INTO batch (name, value) VALUES (?, ?)");
    for (const SettingField& f : kSettingFields)
      ok = ok && put.Text(1, f.name).Text(2, settings.*f.field).Step() == SQLITE_DONE && put.Reset();
    Statement add(journal->m_db,
                  "INSERT INTO recipients (line, phone, ref_key, state, updated) VALUES (?, ?, ?, 'queued', ?)");
    const std::string now = Now();
    for (JournalRecipient& r : recipients) {
      if (r.refKey.empty()) r.refKey = settings.batchId + "-" + std::to_string(r.line);
      ok =
          ok && add.Int(1, r.line).Text(2, r.phone).Text(3, r.refKey).Text(4, now).Step() == SQLITE_DONE && add.Reset();
    }
  }
  if (!ok || !journal->Exec("COMMIT") || !journal->Exec("PRAGMA synchronous=NORMAL")) {
    problem = "cannot write the journal " + path + ": " +
              (journal->m_lastError.empty() ? sqlite3_errmsg(journal->m_db) : journal->m_lastError);
    return nullptr;
  }
  return journal;
}

std::unique_ptr<BatchJournal> BatchJournal::Open(const std::string& path, std::string& problem) {
  std::unique_ptr<BatchJournal> journal(new BatchJournal());
  if (!std::filesystem::is_regular_file(path)) {
    problem = "no journal at " + path;
    return nullptr;
  }
  if (!journal->Prepare(path, SQLITE_OPEN_READWRITE, problem)) return nullptr;
  Statement get(journal->m_db, "SELECT name, value FROM batch");
  if (!get.Ok()) {
    problem = path + " is not a batch journal";
    return nullptr;
  }
  int found = 0;
  while (get.Step() == SQLITE_ROW) {
    const std::string name = get.Column(0);
    for (const SettingField& f : kSettingFields) {
      if (name == f.name) {
        journal->m_settings.*f.field = get.Column(1);
        ++found;
      }
    }
  }
  if (journal->m_settings.batchId.empty() || found == 0) {
    problem = path + " is not a batch journal";
    return nullptr;
  }
  return journal;
}

std::vector<JournalRecipient> BatchJournal::Recipients() {
  std::vector<JournalRecipient> recipients;
  Statement get(m_db, "SELECT line, phone, ref_key, state, sequence FROM recipients ORDER BY line");
  while (get.Ok() && get.Step() == SQLITE_ROW) {
    recipients.push_back(
        {get.ColumnInt(0), get.Column(1), get.Column(2), StateFromName(get.Column(3)), get.ColumnInt(4)});
  }
  return recipients;
}

bool BatchJournal::MarkInFlight(int line, bool unknownToo) {
  if (!Exec("PRAGMA synchronous=FULL")) return false;
  Statement claim(
      m_db, unknownToo ? "UPDATE recipients SET state = 'in flight', updated = ? WHERE line = ? AND state IN "
                         "('queued', 'unknown')"
                       : "UPDATE recipients SET state = 'in flight', updated = ? WHERE line = ? AND state = 'queued'");
  int result = claim.Text(1, Now()).Int(2, line).Step();
  bool claimed = result == SQLITE_DONE && sqlite3_changes(m_db) == 1;
  if (result != SQLITE_DONE) m_lastError = sqlite3_errmsg(m_db);
  Exec("PRAGMA synchronous=NORMAL");
  return claimed;
}

bool BatchJournal::Record(int line, RecipientState state, int sequence) {
  Statement put(m_db, "UPDATE recipients SET state = ?, sequence = ?, updated = ? WHERE line = ?");
  put.Text(1, StateName(state)).Text(3, Now()).Int(4, line);
  if (sequence >= 0) put.Int(2, sequence);
  if (put.Step() == SQLITE_DONE) return true;
  m_lastError = sqlite3_errmsg(m_db);
  return false;
}

int BatchJournal::InFlightToUnknown() {
  Statement put(m_db, "UPDATE recipients SET state = 'unknown', updated = ? WHERE state = 'in flight'");
  return put.Text(1, Now()).Step() == SQLITE_DONE ? sqlite3_changes(m_db) : 0;
}
