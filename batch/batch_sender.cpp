#include "batch/batch_sender.h"

#include <windows.h>

#include <cstdio>

#include "api/NorvoSMS.h"
#include "cli/notification_window.h"
#include "batch/send_progress.h"

namespace {

bool AllDigits(const std::string& text) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

bool ReadNotification(const std::string& text, RecipientState& state, int& sequence) {
  sequence = -1;
  if (text == "end") return false;
  if (text == "fail") {
    state = RecipientState::Refused;
  } else if (text == "error") {
    state = RecipientState::Error;
  } else if (text.size() > 4 && text.compare(text.size() - 4, 4, "/800") == 0 &&
             AllDigits(text.substr(0, text.size() - 4))) {
    state = RecipientState::Code800;
    sequence = std::stoi(text.substr(0, text.size() - 4));
  } else if (AllDigits(text)) {
    state = RecipientState::Accepted;
    sequence = std::stoi(text);
  } else {
    state = RecipientState::Unknown;  // not a text the library sends: claim nothing
  }
  return true;
}

SendRun SendRecipients(BatchJournal& journal, const std::string& apiKey, const std::vector<JournalRecipient>& todo,
                       bool unknownToo, std::chrono::seconds timeout, const SendHooks& hooks) {
  auto StopRequested = [&] { return hooks.stopRequested ? hooks.stopRequested() : 0; };
  using Clock = std::chrono::steady_clock;
  const BatchSettings& s = journal.Settings();
  const bool lms = s.kind == "lms";
  const auto deadline = Clock::now() + timeout;
  SendRun run;
  NotificationWindow window;
  if (window.Handle() == 0) {
    run.windowFailed = true;
    return run;
  }
  SendProgress progress(static_cast<int>(todo.size()));
  InitDLL(s.userId, apiKey);
  CreateThreadDll();
  StartSMS();
  for (const JournalRecipient& r : todo) {
    if (StopRequested() != 0) break;
    if (Clock::now() >= deadline) {
      run.timedOut = true;
      break;
    }
    if (!journal.MarkInFlight(r.line, unknownToo)) {
      if (!journal.LastError().empty()) {
        run.journalFailed = true;
        break;
      }
      continue;  // answered meanwhile or claimed by another run
    }
    window.Take();
    // Total 1: every message is a batch of its own, so its one answer is surely its own.
    if (lms) {
      SendLMS(window.Handle(), r.phone, s.callback, s.subject, s.message, s.reserve, r.refKey, 1, s.usears);
    } else {
      SendSMS(window.Handle(), r.phone, s.callback, s.message, s.reserve, r.refKey, 1, s.usears);
    }
    RecipientState state = RecipientState::Unknown;
    int sequence = -1;
    bool answered = false;
    auto limit = deadline;
    bool graceSet = false;
    window.PumpUntil(
        [&] {
          for (const std::string& note : window.Notes()) {
            if (ReadNotification(note, state, sequence)) {
              answered = true;
              return true;
            }
          }
          if (StopRequested() != 0 && !graceSet) {
            graceSet = true;
            limit = std::min(limit, Clock::now() + kStopGrace);
          }
          return Clock::now() >= limit;
        },
        std::chrono::hours(24 * 365));
    if (!answered) {
      journal.Record(r.line, RecipientState::Unknown);
      run.answerLost = true;
      if (StopRequested() == 0) run.timedOut = true;
      break;
    }
    journal.Record(r.line, state, sequence);
    for (const std::string& note : window.Notes())
      if (note != "end") progress.Note(note);
    if (hooks.onProgress) hooks.onProgress(progress, state);
  }
  run.stopSignal = StopRequested();
  if (!run.answerLost) {
    DestroyThread();  // serves the workers' last notifications ("end") while it waits
    FreeDll();
  }
  return run;
}
