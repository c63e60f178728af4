#include <csignal>
#include <cstdio>
#include <ctime>

#include "api/NorvoSMS.h"
#include "batch/batch_journal.h"
#include "batch/batch_report.h"
#include "batch/journal_lock.h"
#include "batch/service_login.h"
#include "batch/settling.h"
#include "cli/api_key_source.h"
#include "cli/commands.h"
#include "cli/option_values.h"
#include "cli/process_guard.h"
#include "cli/send_output.h"
#include "cli/terminal_output.h"
#include "cli/text_table.h"

namespace {

const char kUsage[] =
    "usage: norvosms journal JOURNAL [--json] [--report FILE] [--refresh [--id ID] [--key-file FILE | --key -]]\n"
    "  the recipients of a batch and their states: queued, in flight, accepted, 800, refused,\n"
    "  error or unknown (the message may have reached the service; its answer was not recorded)\n"
    "  --refresh         ask the service for the delivery status of every recipient sent and keep\n"
    "                    it in the journal with the time asked; Ctrl-C stops, a second refresh goes on\n"
    "  --json            one JSON document on standard output instead of the table\n"
    "  --report FILE     the recipients as CSV (mode 0600)\n"
    "A damaged journal shows what can be read of it, marked as damaged, and exits 1.\n";

struct Options {
  std::string path;
  bool json = false;
  bool refresh = false;
  std::string report;
  std::string id;
  ApiKeySource key;
};

bool Parse(const std::vector<std::string>& args, Options& o, std::string& problem) {
  o.id = UserIdFromEnvironment();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string* into = arg == "--report" ? &o.report : UserOptionValue(arg, o.id, o.key);
    if (into != nullptr) {
      if (!TakeOptionValue(args, i, *into, problem)) return false;
    } else if (arg == "--json") {
      o.json = true;
    } else if (arg == "--refresh") {
      o.refresh = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      problem = "unknown option " + arg;
      return false;
    } else if (o.path.empty()) {
      o.path = arg;
    } else {
      problem = "one journal at a time";
      return false;
    }
  }
  if (o.path.empty()) problem = "no journal given";
  return !o.path.empty();
}

// Asks the service, one call at a time, about every recipient that was sent and not yet asked
// in this refresh. Returns false when stopped or when the service could not be asked.
bool Refresh(BatchJournal& journal, const Options& o, std::string& problem) {
  std::string key;
  if (!ResolveApiKey("norvosms journal", o.key, key, problem) || key.empty()) {
    if (problem.empty()) problem = "no API key (--key-file, --key - or NORVOSMS_API_KEY)";
    return false;
  }
  const std::string owner = journal.Settings().userId;
  if (!o.id.empty() && o.id != owner) {
    problem = "the journal belongs to user " + owner + ", not " + o.id;
    return false;
  }
  std::string started = journal.RefreshStarted();
  if (started.empty()) {
    started = JournalTimeNow();
    if (!journal.StartRefresh(started)) {
      problem = "the journal cannot be written (" + journal.LastError() + ")";
      return false;
    }
  }
  CatchStopSignals();
  InitDLL(owner, key);
  StatusCache status(LoggedInStatusLookup(owner, key));
  int failed = 0;
  bool complete = true;
  for (const JournalRecipient& r : journal.Recipients()) {
    if (StopRequested() != 0) {
      complete = false;
      problem = "stopped by signal " + std::to_string(StopRequested()) + "; a second --refresh goes on from here";
      break;
    }
    if (r.state == RecipientState::Queued || r.state == RecipientState::Refused) continue;  // never held
    if (!r.askedAt.empty() && r.askedAt >= started) continue;  // asked in this refresh already
    const StatusAnswer& answer = status.Ask(r.refKey);
    EndOpenOutputLine();  // a failed call's reason has no line end
    const Verdict v = Judge(r, answer);
    if (v.holding == Holding::CannotTell) {
      ++failed;
      complete = false;
      continue;
    }
    std::string delivery = "not held";
    if (v.holding == Holding::Held)
      for (auto it = answer.entries.rbegin(); it != answer.entries.rend(); ++it)
        if (it->phone == r.phone) {
          delivery = it->status.empty() ? "held" : it->status;
          break;
        }
    if (!journal.RecordDelivery(r.line, delivery, JournalTimeNow())) {
      problem = "the journal cannot be written (" + journal.LastError() + ")";
      FreeDll();
      return false;
    }
  }
  FreeDll();
  if (complete) journal.FinishRefresh();
  if (failed > 0 && problem.empty())
    problem = std::to_string(failed) +
              " recipients could not be asked (the status call failed or its list reached the service's limit);"
              " a second --refresh asks them again";
  return complete;
}

std::string Table(const std::vector<JournalRecipient>& recipients, bool runActive) {
  bool delivery = false;
  for (const JournalRecipient& r : recipients) delivery = delivery || !r.askedAt.empty();
  std::vector<std::string> columns = {"line", "phone", "ref_key", "state", "sequence"};
  if (delivery) columns.insert(columns.end(), {"delivery", "asked at"});
  TextTable table(columns);
  for (const JournalRecipient& r : recipients) {
    // In flight with no run holding the journal: its run is gone and its answer never came.
    const std::string state =
        r.state == RecipientState::InFlight && !runActive ? "in flight, run gone" : StateName(r.state);
    std::vector<std::string> row = {std::to_string(r.line), r.phone, r.refKey, state,
                                    r.sequence >= 0 ? SequenceText(r) : r.windowSequences};
    if (delivery) row.insert(row.end(), {r.delivery, r.askedAt});
    table.AddRow(row);
  }
  return table.Text();
}

}  // namespace

// `norvosms journal JOURNAL`: what became of each recipient of a batch.
int RunJournalCommand(const std::vector<std::string>& args) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  Options o;
  std::string problem;
  if (!Parse(args, o, problem)) {
    std::fprintf(stderr, "norvosms journal: %s\n%s", problem.c_str(), kUsage);
    return 2;
  }
  JsonChannel json;
  if (o.json && !json.Begin()) {
    std::fputs("norvosms journal: cannot set standard output aside for --json\n", stderr);
    return 1;
  }
  std::unique_ptr<BatchJournal> journal;
  int status = 0;
  if (o.refresh) {
    JournalFault fault = JournalFault::None;
    journal = BatchJournal::Open(o.path, problem, &fault);
    if (!journal) {
      std::fprintf(stderr, "norvosms journal: %s\n", problem.c_str());
      if (fault != JournalFault::Damaged) return fault == JournalFault::InUse ? 1 : 2;
      journal = BatchJournal::OpenForReading(o.path, problem);  // show what can be read
      status = 1;
    } else if (!Refresh(*journal, o, problem)) {
      std::fprintf(stderr, "norvosms journal: %s\n", problem.c_str());
      status = 1;
    }
  } else {
    journal = BatchJournal::OpenForReading(o.path, problem);
  }
  if (!journal) {
    std::fprintf(stderr, "norvosms journal: %s\n", problem.c_str());
    return 1;
  }
  const std::vector<JournalRecipient> recipients = journal->Recipients();
  const BatchSettings& s = journal->Settings();
  const std::string& damage = journal->Damage();
  if (!damage.empty()) {
    std::fprintf(stderr,
                 "norvosms journal: the journal %s is DAMAGED (%s); below is what can be read of it, which may"
                 " be incomplete or wrong\n",
                 o.path.c_str(), damage.c_str());
    status = 1;
  }
  if (o.json) {
    const std::string document =
        "{\"batch\": " + JsonString(s.batchId) + ", \"kind\": " + JsonString(s.kind) +
        ", \"source\": " + JsonString(s.source) + ", \"user\": " + JsonString(s.userId) +
        ", \"damaged\": " + (damage.empty() ? "null" : JsonString(damage)) + ", \"refresh_started\": " +
        (journal->RefreshStarted().empty() ? "null" : JsonString(journal->RefreshStarted())) +
        ",\n\"counts\": " + CountsJson(recipients) + ",\n\"recipients\": " + RecipientsJson(recipients) + "}\n";
    if (!json.Write(document)) {
      std::fputs("norvosms journal: cannot write the JSON document\n", stderr);
      status = 1;
    }
  } else {
    std::printf("%sbatch %s from %s, user %s\n",
                damage.empty() ? "" : "DAMAGED JOURNAL: ", TerminalSafe(s.batchId).c_str(),
                TerminalSafe(s.source).c_str(), TerminalSafe(s.userId).c_str());
    const bool runActive = o.refresh || JournalLock::Held(o.path);
    std::fputs(Table(recipients, runActive).c_str(), stdout);
    if (!runActive && CountStates(recipients).unknown > 0)
      std::fprintf(stderr,
                   "norvosms journal: no run holds this journal; send --resume %s settles what is in flight or"
                   " unknown from the service's record\n",
                   o.path.c_str());
    std::printf("%s\n", SummaryLine(CountStates(recipients), s.kind).c_str());
  }
  if (!o.report.empty() && !WriteReport(o.report, recipients, problem)) {
    std::fprintf(stderr, "norvosms journal: cannot write the report %s: %s\n", o.report.c_str(), problem.c_str());
    status = 1;
  }
  return status;
}
