#include "batch/settling.h"

#include <cstring>

#include "api/NorvoSMS.h"

StatusAnswer AskServiceStatus(const std::string& refKey) {
  StatusAnswer answer;
  const char* text = GetStatusByRef_All(refKey);
  if (text == nullptr) {
    answer.problem = "no client";
    return answer;
  }
  const std::string copy(text, strnlen(text, kMaxStatusTextBytes + 1));  // the buffer is shared: copy now
  if (copy == "error") {
    answer.problem = "the status call failed";
    return answer;
  }
  answer.ok = ReadStatusEntries(copy, answer.entries, answer.problem);
  return answer;
}

long long CountFor(const StatusAnswer& answer, const std::string& phone) {
  if (!answer.ok || answer.Capped()) return -1;
  long long count = 0;
  for (const StatusEntry& e : answer.entries)
    if (e.phone == phone) ++count;
  return count;
}

Verdict Judge(const JournalRecipient& r, const StatusAnswer& answer) {
  Verdict verdict;
  const long long count = CountFor(answer, r.phone);
  if (count < 0 || r.baseline < 0) return verdict;
  verdict.count = count;
  if (count <= r.baseline) {
    verdict.holding = Holding::NotHeld;
    return verdict;
  }
  verdict.holding = Holding::Held;
  // The newest entry for the phone is this batch's (entries come oldest first).
  for (auto it = answer.entries.rbegin(); it != answer.entries.rend(); ++it) {
    if (it->phone == r.phone) {
      verdict.state = it->code == "800" ? RecipientState::Code800 : RecipientState::Accepted;
      break;
    }
  }
  return verdict;
}

const StatusAnswer& StatusCache::Ask(const std::string& refKey) {
  for (const auto& [key, answer] : m_answers)
    if (key == refKey) return answer;
  ++m_calls;
  m_answers.emplace_back(refKey, m_lookup(refKey));
  return m_answers.back().second;
}

namespace {

bool AllDigits(const std::string& text) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

RecipientAnswer AnswerOf(int line, RecipientState state, const std::string& sequences) {
  RecipientAnswer a;
  a.line = line;
  a.state = state;
  a.windowSequences = sequences;
  return a;
}

}  // namespace

WindowNotes ReadWindowNotes(const std::vector<std::string>& notes) {
  WindowNotes w;
  for (const std::string& text : notes) {
    if (text == "end") continue;
    if (text == "fail") {
      ++w.refused;
    } else if (text == "error") {
      ++w.errors;
    } else if (text.size() > 4 && text.compare(text.size() - 4, 4, "/800") == 0 &&
               AllDigits(text.substr(0, text.size() - 4))) {
      ++w.with800;
      w.sequences.push_back(std::stoi(text.substr(0, text.size() - 4)));
    } else if (AllDigits(text)) {
      ++w.accepted;
      w.sequences.push_back(std::stoi(text));
    } else {
      ++w.unreadable;  // not a text the library sends: claims nothing
    }
  }
  return w;
}

RecipientState WindowNotes::Alike(int size) const {
  if (accepted == size) return RecipientState::Accepted;
  if (with800 == size) return RecipientState::Code800;
  if (refused == size) return RecipientState::Refused;
  return RecipientState::Unknown;
}

std::string WindowNotes::SequenceText() const {
  std::string text;
  for (int s : sequences) text += (text.empty() ? "" : " ") + std::to_string(s);
  return text;
}

std::vector<RecipientAnswer> SettleWindow(const std::vector<JournalRecipient>& window, const WindowNotes& notes,
                                          StatusCache& status) {
  std::vector<RecipientAnswer> answers;
  std::vector<std::size_t> notHeld;
  int heldAccepted = 0, held800 = 0;
  bool anyCannotTell = false;
  const std::string sequences = notes.SequenceText();
  for (std::size_t i = 0; i < window.size(); ++i) {
    const Verdict v = Judge(window[i], status.Ask(window[i].refKey));
    answers.push_back(AnswerOf(window[i].line, RecipientState::Unknown, sequences));
    if (v.holding == Holding::Held) {
      answers.back().state = v.state;
      (v.state == RecipientState::Code800 ? held800 : heldAccepted)++;
    } else if (v.holding == Holding::NotHeld) {
      notHeld.push_back(i);
    } else {
      anyCannotTell = true;
    }
  }
  const bool accountedFor = !anyCannotTell && notes.errors == 0 && notes.unreadable == 0 &&
                            heldAccepted == notes.accepted && held800 == notes.with800 &&
                            static_cast<int>(notHeld.size()) == notes.refused;
  if (accountedFor)
    for (std::size_t i : notHeld) answers[i].state = RecipientState::Refused;
  return answers;
}

bool PastDeadline(const JournalRecipient& r, long long now) {
  return r.markedAt > 0 && r.deadline > 0 && now >= r.markedAt + r.deadline;
}

RecipientAnswer SettleUnanswered(const JournalRecipient& r, StatusCache& status, long long now) {
  RecipientAnswer answer = AnswerOf(r.line, RecipientState::Unknown, r.windowSequences);
  const Verdict v = Judge(r, status.Ask(r.refKey));
  if (v.holding == Holding::Held) {
    answer.state = v.state;
  } else if (v.holding == Holding::NotHeld && PastDeadline(r, now)) {
    answer.state = RecipientState::Queued;
  }
  return answer;
}
