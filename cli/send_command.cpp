#include "cli/commands.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/api_key_source.h"
#include "batch/batch_input.h"
#include "batch/batch_journal.h"
#include "batch/batch_report.h"
#include "batch/window_sender.h"
#include "cli/option_values.h"
#include "cli/process_guard.h"
#include "cli/send_output.h"
#include "cli/terminal_output.h"

namespace {

// An SMS holds up to 90 bytes; longer texts go as LMS.
constexpr std::size_t kSmsBytes = 90;
// What the --timeout stop reads as, apart from a signal's number.
constexpr int kTimeLimitStop = -1;

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
    "  --timeout SECONDS   stop the run after this long, the rest left queued (default: none)\n"
    "  --max-refused N     stop after N refusals in a row, the rest left queued (default 50; 0: never)\n"
    "  --quiet             no progress on standard error\n"
    "  --json              the outcome as one JSON document on standard output\n"
    "  --journal FILE      the batch's journal (default: a new file in\n"
    "                      $XDG_STATE_HOME/norvosms, else ~/.local/state/norvosms)\n"
    "  --resume JOURNAL    settle what a stopped batch left unanswered from the service's record,\n"
    "                      then send the recipients that never went out\n"
    "  --resend-unknown    with --resume: also send those the service cannot answer for\n"
    "  --report FILE       write every recipient and its state as CSV at the end\n"
    "  --id ID             user ID (default: NORVOSMS_ID)\n"
    "  --key-file FILE     read the API key from FILE (first line)\n"
    "  --key -             read the API key from standard input\n"
    "  --key KEY           the API key itself: other users can see it (default: NORVOSMS_API_KEY)\n"
    "Recipients without a REF_KEY get \"BATCH-LINE\", which `norvosms status` finds.\n"
    "Messages go three at a time; NORVOSMS_TIMEOUT (seconds, default 60) is each call's deadline.\n"
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
  bool quiet = false;
  bool json = false;
  int timeoutSeconds = 0;
  int maxRefused = kDefaultMaxRefusedInRow;
};

// A whole number from `low` to `high`; false for anything else.
bool ReadCount(const std::string& text, long low, long high, int& value) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  long number = std::stol(text);
  if (number < low || number > high) return false;
  value = static_cast<int>(number);
  return true;
}

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& problem) {
  options.id = UserIdFromEnvironment();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string* into = arg == "--to"         ? &options.to
                        : arg == "--file"     ? &options.file
                        : arg == "--callback" ? &options.fields.callback
                        : arg == "--subject"  ? &options.fields.subject
                        : arg == "--reserve"  ? &options.fields.reserve
                        : arg == "--ref"      ? &options.refKey
                        : arg == "--journal"  ? &options.journal
                        : arg == "--resume"   ? &options.resume
                        : arg == "--report"   ? &options.report
                                              : UserOptionValue(arg, options.id, options.key);
    if (into != nullptr) {
      if (!TakeOptionValue(args, i, *into, problem)) return false;
    } else if (arg == "--lms") {
      options.lms = true;
    } else if (arg == "--ars") {
      options.ars = true;
    } else if (arg == "--resend-unknown") {
      options.resendUnknown = true;
    } else if (arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--timeout") {
      std::string text;
      if (!TakeOptionValue(args, i, text, problem)) return false;
      if (!ReadCount(text, 1, 86400, options.timeoutSeconds)) {
        problem = "--timeout takes 1 to 86400 seconds, not \"" + text + "\"";
        return false;
      }
    } else if (arg == "--max-refused") {
      std::string text;
      if (!TakeOptionValue(args, i, text, problem)) return false;
      if (!ReadCount(text, 0, 1000000, options.maxRefused)) {
        problem = "--max-refused takes a whole number, 0 to 1000000, not \"" + text + "\"";
        return false;
      }
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
  for (const RecipientLine& l : lines) {
    JournalRecipient r;
    r.line = static_cast<int>(l.line);
    r.phone = l.phone;
    r.refKey = l.refKey;
    recipients.push_back(std::move(r));
  }
  const std::string path =
      options.journal.empty() ? DefaultJournalFolder() + "/batch-" + s.batchId + ".db" : options.journal;
  return BatchJournal::Create(path, s, std::move(recipients), problem);
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
  SendOptions send;
  if (!ReadDeadlineSetting(send.deadlineSeconds, problem)) {
    std::fprintf(stderr, "norvosms send: %s\n", problem.c_str());
    return 2;
  }
  if (!ResolveApiKey("norvosms send", options.key, send.apiKey, problem) || send.apiKey.empty()) {
    std::fprintf(stderr, "norvosms send: %s\n",
                 problem.empty() ? "no API key (--key-file, --key - or NORVOSMS_API_KEY)" : problem.c_str());
    return 2;
  }
  send.maxRefusedInRow = options.maxRefused;
  send.resendUnknown = options.resendUnknown;
  CatchStopSignals();  // from here a stop signal ends the run with its summary
  std::unique_ptr<BatchJournal> journal;
  if (!options.resume.empty()) {
    JournalFault fault = JournalFault::None;
    journal = BatchJournal::Open(options.resume, problem, &fault);
    if (!journal) {
      std::fprintf(stderr, "norvosms send: %s\n", problem.c_str());
      return fault == JournalFault::InUse || fault == JournalFault::Damaged ? 1 : 2;
    }
    const std::string& owner = journal->Settings().userId;
    if (options.id.empty()) options.id = owner;
    if (options.id != owner) {
      std::fprintf(stderr, "norvosms send: the journal belongs to user %s, not %s\n", TerminalSafe(owner).c_str(),
                   TerminalSafe(options.id).c_str());
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
  JsonChannel json;
  if (options.json && !json.Begin()) {
    std::fputs("norvosms send: cannot set standard output aside for --json\n", stderr);
    return 1;
  }

  std::fprintf(stderr, "norvosms send: batch %s, journal %s\n", journal->Settings().batchId.c_str(),
               journal->Path().c_str());
  ProgressPrinter printer(options.quiet);
  const auto started = std::chrono::steady_clock::now();
  SendHooks hooks;
  hooks.stopRequested = [&]() -> int {
    if (int signal = StopRequested()) return signal;
    if (!options.json && StandardOutputFailed()) return SIGPIPE;  // nobody reads the summary there: stop
    if (options.timeoutSeconds > 0 &&
        std::chrono::steady_clock::now() - started >= std::chrono::seconds(options.timeoutSeconds))
      return kTimeLimitStop;
    return 0;
  };
  hooks.onProgress = [&](const SendProgress& progress) { printer.Show(progress); };
  SendRun run = SendBatch(*journal, send, hooks);
  printer.Finish();
  EndOpenOutputLine();

  const bool outputFailed = !options.json && StandardOutputFailed();
  const bool timedOut = run.stopSignal == kTimeLimitStop;
  const int signal = run.stopSignal > 0 && !(outputFailed && run.stopSignal == SIGPIPE) ? run.stopSignal : 0;
  const std::vector<JournalRecipient> recipients = journal->Recipients();
  const BatchCounts counts = CountStates(recipients);
  int status = signal != 0 ? 128 + signal : counts.accepted + counts.with800 == counts.total ? 0 : 1;
  if (outputFailed) status = 1;
  const std::string summary = SummaryLine(counts, journal->Settings().kind);
  if (!options.json) {
    std::printf("%s\n", summary.c_str());
    std::fflush(stdout);
    if (StandardOutputFailed()) {
      // Standard output is gone (a closed pipe, a full disk): the summary goes where it can be read.
      std::fprintf(stderr, "norvosms send: standard output is gone; the batch stopped there\n%s\n", summary.c_str());
      status = 1;
    }
  }
  ListRecipients("failed", recipients, Failed);
  ListRecipients("answer never came, and the service's record could not settle it (unknown)", recipients, Unanswered);
  if (!run.problem.empty()) std::fprintf(stderr, "norvosms send: %s\n", run.problem.c_str());
  if (signal != 0) std::fprintf(stderr, "norvosms send: stopped by signal %d\n", signal);
  if (timedOut) std::fprintf(stderr, "norvosms send: stopped after %d seconds (--timeout)\n", options.timeoutSeconds);
  if (run.settledFromService > 0)
    std::fprintf(stderr, "norvosms send: %d settled from the service's record\n", run.settledFromService);
  if (counts.queued > 0)
    std::fprintf(stderr, "norvosms send: the rest goes with: norvosms send --resume %s\n", journal->Path().c_str());
  if (counts.unknown > 0)
    std::fprintf(stderr,
                 "norvosms send: the service's record could not settle every message; --resume %s asks again,"
                 " and with --resend-unknown sends what it still cannot settle\n",
                 journal->Path().c_str());
  if (!options.report.empty() && !WriteReport(options.report, recipients, problem)) {
    std::fprintf(stderr, "norvosms send: cannot write the report %s: %s\n", options.report.c_str(), problem.c_str());
    if (status == 0) status = 1;
  }
  if (options.json && !json.Write(SendJson(*journal, recipients, run, status))) {
    std::fprintf(stderr, "norvosms send: cannot write the JSON document; %s\n", summary.c_str());
    status = 1;
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
