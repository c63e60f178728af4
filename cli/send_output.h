// What `norvosms send` tells people and scripts: progress on standard error (a line that
// rewrites itself on a terminal, else one line per 10% or per 10 s), the summary and the
// recipients left failed or unknown, the --json document and the --report file.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "batch/batch_journal.h"
#include "batch/send_progress.h"
#include "batch/window_sender.h"

class ProgressPrinter {
 public:
  explicit ProgressPrinter(bool quiet);
  void Show(const SendProgress& progress);
  // Ends the rewritten line, if one is open.
  void Finish();

 private:
  bool m_quiet;
  bool m_terminal;
  bool m_lineOpen = false;
  int m_lastTenth = -1;
  std::chrono::steady_clock::time_point m_lastLine;
};

// Up to a bounded number of recipients in `which` state group, one line each, to standard error.
void ListRecipients(const char* title, const std::vector<JournalRecipient>& recipients, bool (*which)(RecipientState));
bool Unanswered(RecipientState s);
bool Failed(RecipientState s);

// Writes the CSV report, private to the user (0600) as the journal is.
bool WriteReport(const std::string& path, const std::vector<JournalRecipient>& recipients, std::string& problem);

// The --json document of a finished run.
std::string SendJson(const BatchJournal& journal, const std::vector<JournalRecipient>& recipients, const SendRun& run,
                     int status);

// The library writes its failure texts to standard output; with --json that must stay the
// document's alone. From Begin() the library's writes go to standard error.
class JsonChannel {
 public:
  bool Begin();
  // Writes the document; false when it could not be written whole.
  bool Write(const std::string& document);

 private:
  std::FILE* m_out = nullptr;
};
