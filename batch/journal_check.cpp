// Opening checks: a journal of the first version brought up to date, and a journal checked
// before it is believed.
#include <map>

#include "batch/batch_journal.h"
#include "batch/journal_sql.h"

using namespace journal_sql;

namespace {

// Damage found by the quick check is described by its first few lines.
constexpr int kDamageLinesShown = 3;

}  // namespace

bool BatchJournal::Migrate(std::string& problem) {
  Statement probe(m_db, "SELECT count(*) FROM sqlite_master WHERE name = 'summary'");
  if (probe.Step() == SQLITE_ROW && probe.ColumnInt(0) > 0) return true;
  // A journal of the first version: the new columns, and the summary from its rows as they are.
  bool ok = Transaction([&] {
    for (const char* column : kNewColumns)
      if (!Exec(("ALTER TABLE recipients ADD COLUMN " + std::string(column)).c_str())) return false;
    Statement own(m_db, "UPDATE recipients SET own_key = 1, baseline = 0 WHERE ref_key = ? || '-' || line");
    return own.Text(1, m_settings.batchId).Step() == SQLITE_DONE && Exec(kSummary) &&
           Exec("INSERT OR REPLACE INTO batch (name, value) VALUES ('schema', '2')");
  });
  if (!ok) problem = "cannot bring the journal " + m_path + " up to date: " + m_lastError;
  return ok;
}

bool BatchJournal::Check(std::string& problem) {
  std::string damage;
  {
    Statement check(m_db, "PRAGMA quick_check");
    int lines = 0, result;
    while ((result = check.Step()) == SQLITE_ROW) {
      const std::string line = check.Column(0);
      if (line == "ok") break;
      if (lines++ < kDamageLinesShown) damage += (damage.empty() ? "" : "; ") + line;
    }
    if (result != SQLITE_ROW && result != SQLITE_DONE) damage = sqlite3_errmsg(m_db);
  }
  if (damage.empty()) {
    std::map<std::string, long long> kept, found;
    Statement summary(m_db, "SELECT state, count FROM summary WHERE count <> 0");
    int result;
    while ((result = summary.Step()) == SQLITE_ROW) kept[summary.Column(0)] = summary.ColumnInt(1);
    if (result != SQLITE_DONE) damage = std::string("its summary cannot be read: ") + sqlite3_errmsg(m_db);
    Statement rows(m_db, "SELECT state, count(*) FROM recipients GROUP BY state");
    while ((result = rows.Step()) == SQLITE_ROW) found[rows.Column(0)] = rows.ColumnInt(1);
    if (result != SQLITE_DONE) damage = std::string("its recipients cannot be read: ") + sqlite3_errmsg(m_db);
    for (const auto& [name, count] : found) {
      RecipientState state;
      if (!StateFromName(name, state)) damage = "a recipient has the state \"" + name + "\", which means nothing";
    }
    if (damage.empty() && kept != found) {
      damage = "its recipients do not match its own count (kept:";
      for (const auto& [name, count] : kept) damage += " " + std::to_string(count) + " " + name;
      damage += "; found:";
      for (const auto& [name, count] : found) damage += " " + std::to_string(count) + " " + name;
      damage += ")";
    }
  }
  m_damage = damage;
  if (!damage.empty()) problem = "the journal " + m_path + " is damaged (" + damage + "); nothing was sent";
  return damage.empty();
}
