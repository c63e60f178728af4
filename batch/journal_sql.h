// What the journal's code shares inside the library (not installed): its SQL and a small
// statement wrapper.
#pragma once

#include <sqlite3.h>

#include <ctime>
#include <string>

namespace journal_sql {

inline const char kSchema[] =
    "CREATE TABLE batch (name TEXT PRIMARY KEY, value TEXT NOT NULL);"
    "CREATE TABLE recipients (line INTEGER PRIMARY KEY, phone TEXT NOT NULL, ref_key TEXT NOT NULL,"
    " state TEXT NOT NULL, sequence INTEGER, updated TEXT NOT NULL);";
// Added in the second version; an older journal gets them when a run opens it.
inline const char* const kNewColumns[] = {"own_key INTEGER NOT NULL DEFAULT 0",
                                          "baseline INTEGER",
                                          "marked_at INTEGER",
                                          "deadline INTEGER",
                                          "window_sequences TEXT",
                                          "delivery TEXT",
                                          "asked_at TEXT"};
// The summary lives in the same transaction as every change because triggers keep it: a state
// changed by anything but SQLite (a flipped byte, a damaged page) no longer matches it.
inline const char kSummary[] =
    "CREATE TABLE summary (state TEXT PRIMARY KEY, count INTEGER NOT NULL);"
    "INSERT INTO summary (state, count) SELECT state, count(*) FROM recipients GROUP BY state;"
    "CREATE TRIGGER summary_insert AFTER INSERT ON recipients BEGIN"
    " INSERT INTO summary (state, count) VALUES (NEW.state, 1)"
    " ON CONFLICT (state) DO UPDATE SET count = count + 1; END;"
    "CREATE TRIGGER summary_update AFTER UPDATE OF state ON recipients WHEN OLD.state <> NEW.state BEGIN"
    " UPDATE summary SET count = count - 1 WHERE state = OLD.state;"
    " INSERT INTO summary (state, count) VALUES (NEW.state, 1)"
    " ON CONFLICT (state) DO UPDATE SET count = count + 1; END;"
    "CREATE TRIGGER summary_delete AFTER DELETE ON recipients BEGIN"
    " UPDATE summary SET count = count - 1 WHERE state = OLD.state; END;";

// A statement with parameters bound in order; finalised when it goes out of scope.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
  ~Statement() { sqlite3_finalize(m_stmt); }
  bool Ok() const { return m_stmt != nullptr; }
  Statement& Text(int index, const std::string& value) {
    sqlite3_bind_text(m_stmt, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& Null(int index) {
    sqlite3_bind_null(m_stmt, index);
    return *this;
  }
  Statement& Int(int index, long long value) {
    sqlite3_bind_int64(m_stmt, index, value);
    return *this;
  }
  int Step() { return m_stmt != nullptr ? sqlite3_step(m_stmt) : SQLITE_ERROR; }
  bool Reset() { return sqlite3_reset(m_stmt) == SQLITE_OK; }
  std::string Column(int index) {
    const unsigned char* text = sqlite3_column_text(m_stmt, index);
    return text ? std::string(reinterpret_cast<const char*>(text), sqlite3_column_bytes(m_stmt, index)) : "";
  }
  long long ColumnInt(int index) {
    return sqlite3_column_type(m_stmt, index) == SQLITE_NULL ? -1 : sqlite3_column_int64(m_stmt, index);
  }

 private:
  sqlite3_stmt* m_stmt = nullptr;
};

inline std::string Now() {
  char text[32];
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

}  // namespace journal_sql
