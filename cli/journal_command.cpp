#include <cstdio>

#include "batch/batch_journal.h"
#include "batch/batch_report.h"
#include "cli/commands.h"
#include "cli/text_table.h"

namespace {

std::string RecipientTable(const std::vector<JournalRecipient>& recipients) {
  TextTable table({"line", "phone", "ref_key", "state", "sequence"});
  for (const JournalRecipient& r : recipients)
    table.AddRow({std::to_string(r.line), r.phone, r.refKey, StateName(r.state), SequenceText(r)});
  return table.Text();
}

}  // namespace

// `norvosms journal JOURNAL`: what became of each recipient of a batch.
int RunJournalCommand(const std::vector<std::string>& args) {
  const char usage[] =
      "usage: norvosms journal JOURNAL\n"
      "  the recipients of a batch and their states: queued, in flight, accepted, 800, refused,\n"
      "  error or unknown (the message may have reached the service; its answer was not recorded)\n";
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(usage, stdout);
    return 0;
  }
  if (args.size() != 1 || (args[0].size() > 1 && args[0][0] == '-')) {
    std::fputs(usage, stderr);
    return 2;
  }
  std::string problem;
  std::unique_ptr<BatchJournal> journal = BatchJournal::Open(args[0], problem);
  if (!journal) {
    std::fprintf(stderr, "norvosms journal: %s\n", problem.c_str());
    return 1;
  }
  const std::vector<JournalRecipient> recipients = journal->Recipients();
  const BatchSettings& s = journal->Settings();
  std::printf("batch %s from %s, user %s\n", s.batchId.c_str(), s.source.c_str(), s.userId.c_str());
  std::fputs(RecipientTable(recipients).c_str(), stdout);
  std::printf("%s\n", SummaryLine(CountStates(recipients), s.kind).c_str());
  return 0;
}
