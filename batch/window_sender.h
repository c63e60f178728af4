// Sends a journal's recipients through the library's exports, three at a time. The library's
// notifications name no recipient, so a window of three, marked in flight by a durable commit
// made ahead of it, is enqueued as one batch of three and closed by exactly three notes: three alike
// settle their recipients at once; anything else is settled from the service's record. A
// window that does not get its three notes in time ends the run (a late note must never be read
// as the next window's); its recipients stay in flight and are settled later.
#pragma once

#include <functional>
#include <string>

#include "batch/batch_journal.h"
#include "batch/send_progress.h"
#include "batch/settling.h"

// Messages in flight at once: one per worker of the library.
constexpr int kWindowSize = 3;
constexpr int kDefaultDeadlineSeconds = 60;
constexpr int kMaxDeadlineSeconds = 3600;
constexpr int kDefaultMaxRefusedInRow = 50;

// NORVOSMS_TIMEOUT, the library's whole-call deadline, as the library reads it: plain decimal
// seconds, 1 to 3600, default 60. False, with `problem` naming the variable and its value, for
// anything else.
bool ReadDeadlineSetting(int& seconds, std::string& problem);

struct SendOptions {
  std::string apiKey;
  int deadlineSeconds = kDefaultDeadlineSeconds;  // must equal the library's NORVOSMS_TIMEOUT
  int maxRefusedInRow = kDefaultMaxRefusedInRow;  // 0: no limit
  bool resendUnknown = false;                     // also send what the service cannot answer for
  StatusLookup status;  // one call at a time; empty: the exports, logged in before the first call
};

struct SendHooks {
  std::function<int()> stopRequested;  // a signal number to stop for, or 0
  std::function<void(const SendProgress&)> onProgress;
};

struct SendRun {
  int stopSignal = 0;          // the signal that stopped the run, or 0
  bool answerLost = false;     // a window's notes never all came: a worker may still be busy
  bool journalFailed = false;  // the journal could not be written; the run stopped
  bool windowFailed = false;   // no notification window: nothing was sent
  bool refusedInRow = false;   // the service refused maxRefusedInRow in a row; the rest stays queued
  bool serviceDown = false;    // calls and status calls all failed; the rest stays queued
  std::string problem;         // what stopped the run, for people
  int settledFromService = 0;  // recipients whose state came from the service's record
};

// Settles what earlier runs left in flight or unknown, takes the baselines of user-given keys,
// then sends every queued recipient (and unknown ones, with resendUnknown) in windows. Refusals
// and errors reach the journal before the next window goes out; accepted ones with the next marks.
SendRun SendBatch(BatchJournal& journal, const SendOptions& options, const SendHooks& hooks);
