#include "cli/commands.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "cli/api_key_source.h"
#include "batch/batch_input.h"
#include "batch/batch_journal.h"
#include "batch/batch_report.h"
#include "batch/batch_sender.h"
#include "cli/process_guard.h"
#include "cli/terminal_output.h"

namespace {

// An SMS holds up to 90 bytes; longer texts go as LMS.
constexpr std::size_t kSmsBytes = 90;
constexpr int kDefaultTimeoutSeconds = 600;
// Recipients listed by name on standard error at the end; the rest are in the journal.
constexpr std::size_t kMaxListed = 20;

const char kUsage[] =
    "usage: norvosms send [options] (--to PHONE | --file FILE) MESSAGE\n"
    "       norvosms send [options] --resume JOURNAL [--resend-unknown]\n"
    "  --to PHONE          one recipient\n"
    "  --file FILE         one recipient per line: PHONE [REF_KEY]; '#' starts a comment\n"
    "  --callback NUMBER   the sender number shown to recipients (required)\n"
    "  --subject TEXT      send as LMS with this subject\n"
    "  --lms               send as LMS (also chosen for texts over 90 bytes)\n"
    "  --reserve TIME      send later, \"YYYY-MM-DD HH:MM\"\n"
    "  --ref KEY           reference key for --to (default: derived from the batch)\n"
    "  --ars               ask for an ARS call (usears Y)\n"
    "  --timeout SECONDS   give up waiting after this long (default 600)\n"
    "  --journal FILE      the batch's journal (default: a new file in\n"
    "                      $XDG_STATE_HOME/norvosms, else ~/.local/state/norvosms)\n"
    "  --resume JOURNAL    send the recipients of a stopped batch that never went out\n"
    "  --resend-unknown    with --resume: also send those whose answer never came\n"
    "  --report FILE       write every recipient and its state as CSV at the end\n"
    "  --id ID             user ID (default: NORVOSMS_ID)\n"
    "  --key-file FILE     read the API key from FILE (first line)\n"
    "  --key -             read the API key from standard input\n"
    "  --key KEY           the API key itself: other users can see it (default: NORVOSMS_API_KEY)\n"
    "Recipients without a REF_KEY get \"BATCH-LINE\", which `norvosms status` finds.\n"
    "Exit status: 0 all accepted, 1 some not, 2 bad input, 128+N stopped by signal N.\n";

struct Options {
  std::string id;
  ApiKeySource key;
  MessageFields fields;
  std::string refKey;
  std::string to;
  std::string file;
  std::string journal;
  std::string resume;
  std::string report;
  std::vector<std::string> words;
  bool lms = false;
  bool ars = false;
  bool resendUnknown = false;
  int timeoutSeconds = kDefaultTimeoutSeconds;
};

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& problem) {
  const char* id = std::getenv("NORVOSMS_ID");
  options.id = id != nullptr ? id : "";
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) {
        problem = arg + " needs a value";
        return false;
      }
      into = args[++i];
      return true;
    };
    std::string* into = arg == "--to"         ? &options.to
                        : arg == "--file"     ? &options.file
                        : arg == "--callback" ? &options.fields.callback
                        : arg == "--subject"  ? &options.fields.subject
                        : arg == "--reserve"  ? &options.fields.reserve
                        : arg == "--ref"      ? &options.refKey
                        : arg == "--id"       ? &options.id
                        : arg == "--key"      ? &options.key.key
                        : arg == "--key-file" ? &options.key.keyFile
                        : arg == "--journal"  ? &options.journal
                        : arg == "--resume"   ? &options.resume
                        : arg == "--report"   ? &options.report
                                              : nullptr;
    if (into != nullptr) {
      if (!value(*into)) return false;
      options.key.keyGiven = options.key.keyGiven || arg == "--key";
    } else if (arg == "--lms") {
      options.lms = true;
    } else if (arg == "--ars") {
      options.ars = true;
    } else if (arg == "--resend-unknown") {
      options.resendUnknown = true;
    } else if (arg == "--timeout") {
      std::string text;
      if (!value(text)) return false;
      char* end = nullptr;
      long seconds = std::strtol(text.c_str(), &end, 10);
      if (text.empty() || *end != '\0' || seconds <= 0 || seconds > 86400) {
        problem = "--timeout takes 1 to 86400 seconds";
        return false;
      }
      options.timeoutSeconds = static_cast<int>(seconds);
    } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      problem = "unknown option " + arg;
      return false;
    } else {
      options.words.push_back(arg);
    }
  }
  if (!options.resume.empty()) {
    if (!options.words.empty() || !options.to.empty() || !options.file.empty() || !options.journal.empty()) {
      problem = "--resume takes the batch from its journal: no message, --to, --file or --journal";
      return false;
    }
  } else {
    if (options.words.size() != 1) {
      problem = options.words.empty() ? "no message given" : "give the message as one argument (quote it)";
      return false;
    }
    if (options.to.empty() == options.file.empty()) {
      problem = "give either --to PHONE or --file FILE";
      return false;
    }
    if (options.fields.callback.empty()) {
      problem = "--callback NUMBER is required";
      return false;
    }
    if (options.resendUnknown) {
      problem = "--resend-unknown goes with --resume";
      return false;
    }
  }
  return true;
}

// The recipients and message of a new batch, all checked; false (faults printed) otherwise.
bool ReadBatch(Options& options, std::vector<RecipientLine>& recipients) {
  std::vector<InputFault> faults;
  if (!options.to.empty()) {
    recipients.push_back({1, options.to, options.refKey});
  } else if (!ReadRecipientFile(options.file, recipients, faults)) {
    std::fprintf(stderr, "norvosms send: %s", DescribeFaults(options.file, faults).c_str());
    return false;
  }
  options.fields.message = options.words[0];
  CheckMessageFields(options.fields, faults);
  std::vector<InputFault> recipientFaults;
  CheckRecipients(recipients, recipientFaults);
  for (InputFault& f : recipientFaults) {
    // --to and --ref have no file line: say which option it was
    if (!options.to.empty())
      f = {0, (f.what.find("reference key") != std::string::npos ? "--ref: " : "--to: ") + f.what};
    faults.push_back(f);
  }
  if (faults.empty()) return true;
  std::fprintf(stderr, "norvosms send: the batch is refused, nothing was sent:\n%s",
               DescribeFaults(options.file, faults).c_str());
  return false;
}

std::unique_ptr<BatchJournal> NewJournal(const Options& options, const std::vector<RecipientLine>& lines,
                                         std::string& problem) {
  BatchSettings s;
  s.batchId = NewBatchId();
  s.userId = options.id;
  s.kind = options.lms || !options.fields.subject.empty() || options.fields.message.size() > kSmsBytes ? "lms" : "sms";
  s.callback = options.fields.callback;
  s.subject = options.fields.subject;
  s.message = options.fields.message;
  s.reserve = options.fields.reserve;
  s.usears.assign(1, options.ars ? 'Y' : 'N');  // one character: GCC 12 -O3 warns falsely on a literal (-Wrestrict)
  s.source = options.to.empty() ? options.file : "--to";
  std::vector<JournalRecipient> recipients;
  for (const RecipientLine& l : lines) recipients.push_back({static_cast<int>(l.line), l.phone, l.refKey});
  const std::string path =
      options.journal.empty() ? DefaultJournalFolder() + "/batch-" + s.batchId + ".db" : options.journal;
  return BatchJournal::Create(path, s, std::move(recipients), problem);
}

void ListRecipients(const char* title, const std::vector<JournalRecipient>& recipients, bool (*which)(RecipientState)) {
  std::size_t shown = 0, count = 0;
  for (const JournalRecipient& r : recipients) {
    if (!which(r.state)) continue;
    if (count++ == 0) std::fprintf(stderr, "%s:\n", title);
    if (shown < kMaxListed) {
      ++shown;
      std::fprintf(stderr, "  line %d  %s  %s  %s\n", r.line, TerminalSafe(r.phone).c_str(),
                   TerminalSafe(r.refKey).c_str(), StateName(r.state));
    }
  }
  if (count > shown) std::fprintf(stderr, "  ... and %zu more\n", count - shown);
}

bool Unanswered(RecipientState s) { return s == RecipientState::Unknown || s == RecipientState::InFlight; }
bool Failed(RecipientState s) { return s == RecipientState::Refused || s == RecipientState::Error; }

bool WriteReport(const std::string& path, const std::vector<JournalRecipient>& recipients) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << RecipientCsv(recipients);
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace

int RunSendCommand(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  Options options;
  std::string problem;
  if (!ParseOptions(args, options, problem)) {
    std::fprintf(stderr, "norvosms send: %s\n%s", problem.c_str(), kUsage);
    return 2;
  }

  std::string key;
  if (!ResolveApiKey("norvosms send", options.key, key, problem) || key.empty()) {
    std::fprintf(stderr, "norvosms send: %s\n",
                 problem.empty() ? "no API key (--key-file, --key - or NORVOSMS_API_KEY)" : problem.c_str());
    return 2;
  }
  CatchStopSignals();  // from here a stop signal ends the run with its summary
  std::unique_ptr<BatchJournal> journal;
  if (!options.resume.empty()) {
    journal = BatchJournal::Open(options.resume, problem);
    if (!journal) {
      std::fprintf(stderr, "norvosms send: %s\n", problem.c_str());
      return 2;
    }
    const std::string& owner = journal->Settings().userId;
    if (options.id.empty()) options.id = owner;
    if (options.id != owner) {
      std::fprintf(stderr, "norvosms send: the journal belongs to user %s, not %s\n", owner.c_str(),
                   options.id.c_str());
      return 2;
    }
  } else {
    std::vector<RecipientLine> lines;
    if (!ReadBatch(options, lines)) return 2;
    if (options.id.empty()) {
      std::fputs("norvosms send: no user ID (--id or NORVOSMS_ID)\n", stderr);
      return 2;
    }
    journal = NewJournal(options, lines, problem);
    if (!journal) {
      std::fprintf(stderr, "norvosms send: %s\n", problem.c_str());
      return 1;
    }
  }

  std::fprintf(stderr, "norvosms send: batch %s, journal %s\n", journal->Settings().batchId.c_str(),
               journal->Path().c_str());
  std::vector<JournalRecipient> todo;
  const bool resuming = !options.resume.empty();
  if (resuming) {
    journal->InFlightToUnknown();  // the run that sent them is gone; their answers never came
    std::vector<JournalRecipient> all = journal->Recipients();
    ListRecipients(options.resendUnknown ? "sent again (their earlier answer never came)"
                                         : "not sent again, their answer never came (--resend-unknown sends them)",
                   all, Unanswered);
    for (const JournalRecipient& r : all)
      if (r.state == RecipientState::Queued || (options.resendUnknown && r.state == RecipientState::Unknown))
        todo.push_back(r);
  } else {
    todo = journal->Recipients();
  }

  SendHooks hooks;
  hooks.stopRequested = StopRequested;
  hooks.onProgress = [](const SendProgress& progress, RecipientState state) {
    if (state == RecipientState::Error) EndOpenOutputLine();  // the library's reason has no line end
    std::fprintf(stderr, "\r%s", progress.Line().c_str());
    std::fflush(stderr);
  };
  SendRun run =
      SendRecipients(*journal, key, todo, options.resendUnknown, std::chrono::seconds(options.timeoutSeconds), hooks);
  if (run.windowFailed) std::fputs("norvosms send: cannot create the notification window\n", stderr);
  if (run.journalFailed)
    std::fprintf(stderr, "\nnorvosms send: the journal cannot be written (%s); stopping\n",
                 journal->LastError().c_str());
  std::fputc('\n', stderr);
  EndOpenOutputLine();

  const std::vector<JournalRecipient> recipients = journal->Recipients();
  const BatchCounts counts = CountStates(recipients);
  std::printf("%s\n", SummaryLine(counts, journal->Settings().kind).c_str());
  ListRecipients("failed", recipients, Failed);
  ListRecipients("answer never came (unknown)", recipients, Unanswered);
  if (run.stopSignal != 0) std::fprintf(stderr, "norvosms send: stopped by signal %d\n", run.stopSignal);
  if (run.timedOut) std::fprintf(stderr, "norvosms send: gave up after %d seconds\n", options.timeoutSeconds);
  if (counts.queued > 0)
    std::fprintf(stderr, "norvosms send: the rest goes with: norvosms send --resume %s\n", journal->Path().c_str());
  if (counts.unknown > 0)
    std::fprintf(stderr,
                 "norvosms send: messages whose answer never came may have been sent: see `norvosms status REF_KEY`;"
                 " --resume %s --resend-unknown sends them again\n",
                 journal->Path().c_str());
  int status = run.stopSignal != 0 ? 128 + run.stopSignal : counts.accepted + counts.with800 == counts.total ? 0 : 1;
  if (!options.report.empty() && !WriteReport(options.report, recipients)) {
    std::fprintf(stderr, "norvosms send: cannot write the report %s\n", options.report.c_str());
    if (status == 0) status = 1;
  }
  if (run.answerLost) {
    // A worker may still wait for the service; ending the library would wait with it.
    std::fflush(stdout);
    std::fflush(stderr);
    journal.reset();
    std::_Exit(status);
  }
  return status;
}
