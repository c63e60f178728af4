// Sends the recipients of a journal one message at a time: a notification names no
// recipient, so only with one message out is each answer known to be that recipient's.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "batch/batch_journal.h"
#include "batch/send_progress.h"

// How long a stop request waits for the answer already on its way.
constexpr std::chrono::seconds kStopGrace{15};

struct SendRun {
  int stopSignal = 0;          // the signal that stopped the run, or 0
  bool timedOut = false;       // the overall time ran out
  bool answerLost = false;     // a message went out and its answer never came: a worker may still be busy
  bool journalFailed = false;  // the journal could not be written; the run stopped
  bool windowFailed = false;   // no notification window: nothing was sent
};

// What the caller learns while a run goes on, on the run's own thread.
struct SendHooks {
  std::function<int()> stopRequested;  // a signal number to stop for, or 0
  std::function<void(const SendProgress&, RecipientState)> onProgress;
};

// One notification text read as a recipient's answer; false for "end".
bool ReadNotification(const std::string& text, RecipientState& state, int& sequence);

// Sends each of `todo` (claimed in the journal first; a recipient that cannot be claimed is
// skipped) with the library's exports, recording every answer as it arrives.
SendRun SendRecipients(BatchJournal& journal, const std::string& apiKey, const std::vector<JournalRecipient>& todo,
                       bool unknownToo, std::chrono::seconds timeout, const SendHooks& hooks);
