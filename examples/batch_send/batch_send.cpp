// batch_send.cpp: send a journaled batch of three and print what became of each recipient.
// Run it again with the journal's path to see the journal (nothing is sent twice).
#include <batch/batch_journal.h>
#include <batch/batch_report.h>
#include <batch/window_sender.h>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : "batch_send.db";
  std::string problem;
  auto journal = BatchJournal::Open(path, problem);  // a journal kept from an earlier run
  if (!journal) {
    BatchSettings settings;
    settings.batchId = NewBatchId();
    settings.userId = "demo";
    settings.kind = "sms";
    settings.callback = "02-555-0100";
    settings.message = "Hello from a journaled batch";
    settings.usears = "N";
    settings.source = "batch_send";
    journal = BatchJournal::Create(
        path, settings, {{1, "010-1234-0001", ""}, {2, "010-1234-0002", ""}, {3, "010-1234-0003", ""}}, problem);
  }
  if (!journal) {
    std::fprintf(stderr, "batch_send: %s\n", problem.c_str());
    return 1;
  }
  SendOptions options;
  options.apiKey = "demo-key";
  SendRun run = SendBatch(*journal, options, {});
  if (!run.problem.empty()) std::fprintf(stderr, "batch_send: %s\n", run.problem.c_str());
  for (const JournalRecipient& r : journal->Recipients())
    std::printf("%s %s %s\n", r.phone.c_str(), r.refKey.c_str(), StateName(r.state));
  std::printf("%s\n", SummaryLine(CountStates(journal->Recipients()), "sms").c_str());
}
