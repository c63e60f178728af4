#include "batch/window_sender.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <map>
#include <thread>

#include "api/NorvoSMS.h"
#include "batch/service_login.h"
#include "cli/notification_window.h"
#include "xmlrpc/http_settings.h"

namespace {

using Clock = std::chrono::steady_clock;

// Beyond the whole-call deadline, what a window may take for its notes to be delivered.
constexpr std::chrono::seconds kNoteGrace{5};
// A recipient whose calls failed and whom the service does not hold is sent this many times in
// one run at most; then it is recorded as an error (not sent).
constexpr int kMaxSendsPerRun = 3;
// Settling waits this long past a recipient's deadline, for the service's clock.
constexpr long long kSettleMarginSeconds = 1;
// Recipients are marked in flight ahead of their windows, in one durable commit made while a
// window is in flight: as many windows as take about kMarkAheadTime to send, within these bounds,
// so that a commit is paid once per that much sending however slow the disk.
constexpr std::size_t kMinMarkAheadWindows = 2;
constexpr std::size_t kMaxMarkAheadWindows = 32;
constexpr std::chrono::milliseconds kMarkAheadTime{1000};
// How long a mark may wait for its window. The deadline stored with a mark covers this wait as
// well as the call's own deadline, and an older mark is renewed before its window goes, so that
// a resume never takes a message the service may still store for one that was never sent.
constexpr std::chrono::seconds kMarkSlack{2};

class WindowRun {
 public:
  WindowRun(BatchJournal& journal, const SendOptions& options, const SendHooks& hooks, NotificationWindow& window)
      : m_journal(journal), m_options(options), m_hooks(hooks), m_window(window), m_status(options.status) {}

  SendRun Run();

 private:
  int Stop() const { return m_hooks.stopRequested ? m_hooks.stopRequested() : 0; }
  bool Ended() const {
    return m_run.answerLost || m_run.journalFailed || m_run.refusedInRow || m_run.serviceDown || Stop() != 0;
  }
  bool SettleLeftOver();
  bool TakeBaselines(const std::vector<JournalRecipient>& todo);
  void SendWindows(std::vector<JournalRecipient> todo);
  bool MarkAhead(const std::vector<JournalRecipient>& todo, std::size_t& at);
  std::vector<JournalRecipient> TakeWindow();
  void Send(std::vector<JournalRecipient>& window);
  bool Await(const std::vector<JournalRecipient>& window);
  void PutBackUnsent();
  int StoredDeadline() const { return m_options.deadlineSeconds + static_cast<int>(kMarkSlack.count()); }
  void JournalFailed() {
    m_run.journalFailed = true;
    m_run.problem = "the journal cannot be written (" + m_journal.LastError() + ")";
  }
  void Conclude(const std::vector<JournalRecipient>& window, const std::vector<RecipientAnswer>& answers);
  std::vector<JournalRecipient> SettlePending(bool wait);
  bool Write(const std::vector<RecipientAnswer>& answers) {
    if (m_journal.Record(answers)) return true;
    JournalFailed();
    return false;
  }

  struct Marked {
    JournalRecipient recipient;
    Clock::time_point at;
  };

  BatchJournal& m_journal;
  const SendOptions& m_options;
  const SendHooks& m_hooks;
  NotificationWindow& m_window;
  StatusCache m_status;
  SendRun m_run;
  SendProgress m_progress{0};
  std::vector<RecipientAnswer> m_acceptedUnwritten;               // go with the next window's mark
  std::vector<JournalRecipient> m_pending;                        // unknown until their deadline has passed
  std::deque<Marked> m_marked;                                    // marked in flight, their window not yet sent
  Clock::duration m_windowTime = std::chrono::milliseconds(100);  // a window's mean time, sent to settled
  std::map<int, int> m_sends;                                     // sends of each line in this run
  std::vector<int> m_unanswerable;                                // left unknown, and the service cannot say
  int m_refusedInRow = 0;
};

bool WindowRun::SettleLeftOver() {
  m_journal.InFlightToUnknown();  // the run that sent them is gone; their notes never came
  std::vector<RecipientAnswer> answers;
  const long long now = UnixNow() - kSettleMarginSeconds;
  for (const JournalRecipient& r : m_journal.Recipients()) {
    if (r.state != RecipientState::Unknown) continue;
    RecipientAnswer a = SettleUnanswered(r, m_status, now);
    if (a.state == RecipientState::Unknown) {
      // Not held yet, its deadline still ahead: settled later in this run, never sent before.
      if (Judge(r, m_status.Ask(r.refKey)).holding == Holding::NotHeld && r.markedAt > 0 && r.deadline > 0)
        m_pending.push_back(r);
      else
        m_unanswerable.push_back(r.line);
      continue;
    }
    if (a.state != RecipientState::Queued) ++m_run.settledFromService;
    answers.push_back(a);
  }
  m_status.Forget();
  return Write(answers);
}

bool WindowRun::TakeBaselines(const std::vector<JournalRecipient>& todo) {
  std::vector<std::pair<int, long long>> baselines;
  for (const JournalRecipient& r : todo) {
    if (r.baseline >= 0) continue;
    const StatusAnswer& answer = m_status.Ask(r.refKey);
    if (!answer.ok) {
      m_run.serviceDown = true;
      m_run.problem = "the service could not be asked what it already holds under the reference key " + r.refKey +
                      " (" + answer.problem + "); nothing more was sent";
      break;
    }
    // A list at the service's limit cannot be counted: sent, such a recipient settles only by its notes.
    const long long count = CountFor(answer, r.phone);
    if (count >= 0) baselines.emplace_back(r.line, count);
  }
  m_status.Forget();
  if (!m_journal.SetBaselines(baselines)) JournalFailed();
  return !m_run.serviceDown && !m_run.journalFailed;
}

void WindowRun::SendWindows(std::vector<JournalRecipient> todo) {
  std::size_t at = 0;
  while (!Ended()) {
    if (m_marked.size() < static_cast<std::size_t>(kWindowSize) && at < todo.size() && !MarkAhead(todo, at)) break;
    std::vector<JournalRecipient> window = TakeWindow();
    if (window.empty()) break;
    const Clock::time_point sent = Clock::now();
    Send(window);
    // While it is in flight, the windows after it are marked: the commit costs no sending time.
    const bool marked =
        m_marked.size() >= static_cast<std::size_t>(kWindowSize) || at >= todo.size() || MarkAhead(todo, at);
    if (!Await(window) || !marked) break;
    m_windowTime = (m_windowTime * 7 + (Clock::now() - sent)) / 8;
    // Those whose deadline has passed meanwhile and whom the service does not hold go again.
    for (JournalRecipient& r : SettlePending(false)) todo.push_back(r);
  }
}

// Marks the next recipients of `todo` in flight in one durable transaction (with the accepted
// answers not yet written); those answered meanwhile are skipped. False when the journal fails.
bool WindowRun::MarkAhead(const std::vector<JournalRecipient>& todo, std::size_t& at) {
  while (at < todo.size()) {
    std::vector<int> lines, claimed;
    const std::size_t first = at;
    const std::size_t windows =
        std::clamp<std::size_t>(static_cast<std::size_t>(kMarkAheadTime / std::max(m_windowTime, Clock::duration(1))),
                                kMinMarkAheadWindows, kMaxMarkAheadWindows);
    while (at < todo.size() && lines.size() < windows * kWindowSize) lines.push_back(todo[at++].line);
    // Taken before the commit, whose mark time is later: the slack counts from no later than the stored mark.
    const Clock::time_point now = Clock::now();
    if (!m_journal.BeginWindow(m_acceptedUnwritten, lines, m_options.resendUnknown, StoredDeadline(), claimed)) {
      JournalFailed();
      return false;
    }
    m_acceptedUnwritten.clear();
    for (std::size_t i = first; i < at; ++i)
      if (std::find(claimed.begin(), claimed.end(), todo[i].line) != claimed.end()) m_marked.push_back({todo[i], now});
    if (!claimed.empty()) return true;
  }
  return true;
}

// The next window of marked recipients; marks that waited past the slack are renewed first.
std::vector<JournalRecipient> WindowRun::TakeWindow() {
  std::vector<JournalRecipient> window;
  if (m_marked.empty()) return window;
  const Clock::time_point now = Clock::now();
  if (now - m_marked.front().at > kMarkSlack) {
    std::vector<int> lines;
    for (const Marked& m : m_marked) lines.push_back(m.recipient.line);
    if (!m_journal.RenewMarks(lines, StoredDeadline())) {
      JournalFailed();
      return window;
    }
    for (Marked& m : m_marked) m.at = now;
  }
  while (!m_marked.empty() && window.size() < static_cast<std::size_t>(kWindowSize)) {
    window.push_back(m_marked.front().recipient);
    m_marked.pop_front();
  }
  return window;
}

void WindowRun::Send(std::vector<JournalRecipient>& window) {
  const BatchSettings& s = m_journal.Settings();
  const int total = static_cast<int>(window.size());
  const long long sentAt = UnixNow();
  m_window.Take();
  for (JournalRecipient& r : window) {
    // In this run the send time is known: a recipient left unknown settles by it.
    r.state = RecipientState::InFlight;
    r.markedAt = sentAt;
    r.deadline = m_options.deadlineSeconds;
    ++m_sends[r.line];
    if (s.kind == "lms") {
      SendLMS(m_window.Handle(), r.phone, s.callback, s.subject, s.message, s.reserve, r.refKey, total, s.usears);
    } else {
      SendSMS(m_window.Handle(), r.phone, s.callback, s.message, s.reserve, r.refKey, total, s.usears);
    }
  }
}

// Waits for the window's notes and settles its recipients.
bool WindowRun::Await(const std::vector<JournalRecipient>& mine) {
  const int total = static_cast<int>(mine.size());
  // "end" is ignored: after an "error" the library's count never reaches the total, so an
  // "end" may come at any time. A stop request waits for the notes already on their way.
  auto answered = [&] {
    int notes = 0;
    for (const std::string& note : m_window.Notes())
      if (note != "end") ++notes;
    return notes >= total;
  };
  const auto limit = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::seconds(m_options.deadlineSeconds) + kNoteGrace);
  if (!m_window.PumpUntil(answered, limit)) {
    m_run.answerLost = true;
    m_run.problem = "a window of messages got no answer within " + std::to_string(m_options.deadlineSeconds) +
                    " s; its recipients stay in flight, to be settled from the service";
    return false;
  }
  std::vector<std::string> notes;
  for (const std::string& note : m_window.Take())
    if (note != "end") notes.push_back(note);
  for (const std::string& note : notes) m_progress.Note(note);

  const WindowNotes read = ReadWindowNotes(notes);
  const RecipientState alike = read.Alike(total);
  std::vector<RecipientAnswer> answers;
  if (alike != RecipientState::Unknown) {
    for (std::size_t i = 0; i < mine.size(); ++i) {
      RecipientAnswer a;
      a.line = mine[i].line;
      a.state = alike;
      if (total == 1 && !read.sequences.empty()) a.sequence = read.sequences[0];  // tied to its one recipient
      if (total > 1) a.windowSequences = read.SequenceText();
      answers.push_back(a);
    }
  } else {
    m_status.Forget();
    answers = SettleWindow(mine, read, m_status);
    const bool allFailed = read.errors == total;
    bool statusFailed = true;
    for (const JournalRecipient& r : mine) statusFailed = statusFailed && !m_status.Ask(r.refKey).ok;
    m_status.Forget();
    if (allFailed && statusFailed) {
      m_run.serviceDown = true;
      m_run.problem =
          "every message of a window failed and so did asking the service about them:"
          " the service seems down; the rest stays queued";
    }
    for (const RecipientAnswer& a : answers)
      if (a.state == RecipientState::Accepted || a.state == RecipientState::Code800) ++m_run.settledFromService;
  }
  Conclude(mine, answers);
  if (m_hooks.onProgress) m_hooks.onProgress(m_progress);
  return !m_run.journalFailed;
}

void WindowRun::Conclude(const std::vector<JournalRecipient>& window, const std::vector<RecipientAnswer>& answers) {
  // Accepted answers may wait for the next window's commit (losing one only leaves a recipient
  // that the service's record settles); refusals and unknowns reach the disk now.
  std::vector<RecipientAnswer> now;
  for (std::size_t i = 0; i < answers.size(); ++i) {
    const RecipientAnswer& a = answers[i];
    if (a.state == RecipientState::Accepted || a.state == RecipientState::Code800) {
      m_acceptedUnwritten.push_back(a);
      m_refusedInRow = 0;
      continue;
    }
    now.push_back(a);
    if (a.state == RecipientState::Refused) {
      ++m_refusedInRow;
    } else {
      JournalRecipient r = window[i];
      r.state = RecipientState::Unknown;
      m_pending.push_back(r);
    }
  }
  if (!now.empty()) {
    // With the accepted ones before them, so the journal never holds a later state without an earlier one.
    now.insert(now.begin(), m_acceptedUnwritten.begin(), m_acceptedUnwritten.end());
    if (!Write(now)) return;
    m_acceptedUnwritten.clear();
  }
  if (m_options.maxRefusedInRow > 0 && m_refusedInRow >= m_options.maxRefusedInRow) {
    m_run.refusedInRow = true;
    m_run.problem = "the service refused " + std::to_string(m_refusedInRow) +
                    " messages in a row (--max-refused); the rest stays queued. Check the callback number"
                    " and the account, then --resume";
  }
}

// Settles the recipients left unknown by a window once their deadline has passed (waiting for
// it when `wait`); returns those to send again. The others stay pending.
std::vector<JournalRecipient> WindowRun::SettlePending(bool wait) {
  std::vector<JournalRecipient> again, still;
  if (m_pending.empty()) return again;
  if (wait) {
    long long latest = 0;
    for (const JournalRecipient& r : m_pending) latest = std::max(latest, r.markedAt + r.deadline);
    while (UnixNow() - kSettleMarginSeconds < latest && Stop() == 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (Stop() != 0) return again;
  }
  std::vector<RecipientAnswer> answers;
  const long long now = UnixNow() - kSettleMarginSeconds;
  for (const JournalRecipient& r : m_pending) {
    if (!PastDeadline(r, now)) {
      still.push_back(r);
      continue;
    }
    RecipientAnswer a = SettleUnanswered(r, m_status, now);
    // Its calls failed every time and the service holds none of them: not sent, and said so.
    if (a.state == RecipientState::Queued && m_sends[r.line] >= kMaxSendsPerRun) a.state = RecipientState::Error;
    if (a.state == RecipientState::Unknown) continue;  // stays unknown, listed at the end
    if (a.state == RecipientState::Queued) {
      JournalRecipient back = r;
      back.state = RecipientState::Queued;
      again.push_back(back);
    } else if (a.state != RecipientState::Error) {
      ++m_run.settledFromService;
    }
    answers.push_back(a);
  }
  m_status.Forget();
  m_pending = still;
  if (answers.empty()) return again;  // nothing settled: no commit
  // Accepted ones of the last window go with them, for the same reason as in Conclude().
  answers.insert(answers.begin(), m_acceptedUnwritten.begin(), m_acceptedUnwritten.end());
  if (Write(answers)) m_acceptedUnwritten.clear();
  return again;
}

// Marked recipients whose window never went are queued again (with the accepted answers not yet
// written), so that a stopped run leaves nothing in flight that was not sent.
void WindowRun::PutBackUnsent() {
  if (m_marked.empty() || m_run.journalFailed) return;
  std::vector<RecipientAnswer> back = m_acceptedUnwritten;
  for (const Marked& m : m_marked) {
    RecipientAnswer a;
    a.line = m.recipient.line;
    a.state = RecipientState::Queued;
    back.push_back(a);
  }
  m_marked.clear();
  if (Write(back)) m_acceptedUnwritten.clear();
}

SendRun WindowRun::Run() {
  if (!SettleLeftOver()) return m_run;
  std::vector<JournalRecipient> todo;
  // --resend-unknown sends only what the service cannot answer for; the rest waits for its deadline.
  auto unanswerable = [&](int line) {
    return std::find(m_unanswerable.begin(), m_unanswerable.end(), line) != m_unanswerable.end();
  };
  for (const JournalRecipient& r : m_journal.Recipients())
    if (r.state == RecipientState::Queued ||
        (m_options.resendUnknown && r.state == RecipientState::Unknown && unanswerable(r.line)))
      todo.push_back(r);
  m_progress = SendProgress(static_cast<int>(todo.size()));
  if (!TakeBaselines(todo)) return m_run;
  std::map<int, long long> baselines;  // the baselines just taken, read once
  for (const JournalRecipient& fresh : m_journal.Recipients()) baselines[fresh.line] = fresh.baseline;
  for (auto& r : todo) r.baseline = baselines[r.line];
  for (;;) {
    if (!todo.empty()) SendWindows(todo);
    todo.clear();
    if (Ended() || m_pending.empty()) break;
    todo = SettlePending(true);  // recipients whose calls failed and the service does not hold
    if (todo.empty() && m_pending.empty()) break;
  }
  PutBackUnsent();
  if (!m_acceptedUnwritten.empty()) Write(m_acceptedUnwritten);
  m_run.stopSignal = Stop();
  return m_run;
}

}  // namespace

bool ReadDeadlineSetting(int& seconds, std::string& problem) {
  // The library reads the same variable with the same reader, so a window waits as long as a call may take.
  HttpSettings settings;
  if (!ReadHttpSettings(settings, problem)) return false;
  seconds = static_cast<int>(settings.timeoutSeconds);
  return true;
}

SendRun SendBatch(BatchJournal& journal, const SendOptions& options, const SendHooks& hooks) {
  NotificationWindow window;
  if (window.Handle() == 0) {
    SendRun run;
    run.windowFailed = true;
    run.problem = "cannot create the notification window";
    return run;
  }
  InitDLL(journal.Settings().userId, options.apiKey);
  CreateThreadDll();
  StartSMS();
  SendOptions own = options;
  if (!own.status) own.status = LoggedInStatusLookup(journal.Settings().userId, options.apiKey);
  WindowRun run(journal, own, hooks, window);
  SendRun result = run.Run();
  if (!result.answerLost) {
    DestroyThread();  // serves the workers' last notifications while it waits
    FreeDll();
  }
  return result;
}
