// Settling from the service's record: what a window's notes and the service's entries together
// say of each recipient, and what they cannot say.
#include "batch/settling.h"

#include <gtest/gtest.h>

#include <map>

namespace {

JournalRecipient Recipient(int line, const std::string& phone, const std::string& key, long long baseline) {
  JournalRecipient r;
  r.line = line;
  r.phone = phone;
  r.refKey = key;
  r.baseline = baseline;
  r.markedAt = 1000;
  r.deadline = 60;
  return r;
}

StatusEntry Entry(const std::string& phone, const std::string& code = "0000") {
  StatusEntry e;
  e.phone = phone;
  e.code = code;
  return e;
}

// A service whose record is a map from reference key to entries; a key it cannot answer fails.
struct FakeService {
  std::map<std::string, std::vector<StatusEntry>> held;
  std::vector<std::string> failing;
  int calls = 0;
  StatusLookup Lookup() {
    return [this](const std::string& key) {
      ++calls;
      StatusAnswer answer;
      for (const std::string& f : failing)
        if (f == key) return answer;
      answer.ok = true;
      answer.entries = held[key];
      return answer;
    };
  }
};

TEST(Settling, WindowNotesAreReadTogether) {
  WindowNotes alike = ReadWindowNotes({"4", "end", "5", "6"});
  EXPECT_EQ(alike.Alike(3), RecipientState::Accepted);
  EXPECT_EQ(alike.SequenceText(), "4 5 6");
  EXPECT_EQ(ReadWindowNotes({"1/800", "2/800", "3/800"}).Alike(3), RecipientState::Code800);
  EXPECT_EQ(ReadWindowNotes({"fail", "fail", "fail"}).Alike(3), RecipientState::Refused);
  EXPECT_EQ(ReadWindowNotes({"fail", "fail", "error"}).Alike(3), RecipientState::Unknown);
  WindowNotes odd = ReadWindowNotes({"x/800", "99999999999", ""});
  EXPECT_EQ(odd.unreadable, 3);
  EXPECT_EQ(odd.Alike(3), RecipientState::Unknown);
}

TEST(Settling, OnlyGrowthBeyondTheBaselineOfTheRecipientsOwnPhoneCounts) {
  StatusAnswer answer;
  answer.ok = true;
  answer.entries = {Entry("01011112222"), Entry("01033334444", "800"), Entry("01011112222", "800")};
  // A key of the batch's own: any entry for the phone is this batch's.
  Verdict own = Judge(Recipient(1, "01033334444", "b-1", 0), answer);
  EXPECT_EQ(own.holding, Holding::Held);
  EXPECT_EQ(own.state, RecipientState::Code800);
  // A user's key that an older batch used twice for this phone: two entries are not growth.
  EXPECT_EQ(Judge(Recipient(1, "01011112222", "k", 2), answer).holding, Holding::NotHeld);
  Verdict grown = Judge(Recipient(1, "01011112222", "k", 1), answer);
  EXPECT_EQ(grown.holding, Holding::Held);
  EXPECT_EQ(grown.state, RecipientState::Code800) << "the newest entry is this batch's";
  EXPECT_EQ(Judge(Recipient(1, "01099999999", "k", 0), answer).holding, Holding::NotHeld);
  // Without a baseline, a failed call or a list at the service's limit nothing is settled.
  EXPECT_EQ(Judge(Recipient(1, "01011112222", "k", -1), answer).holding, Holding::CannotTell);
  StatusAnswer failed;
  EXPECT_EQ(Judge(Recipient(1, "01011112222", "b-1", 0), failed).holding, Holding::CannotTell);
  StatusAnswer capped;
  capped.ok = true;
  capped.entries.assign(kStatusListLimit, Entry("01000000000"));
  EXPECT_EQ(Judge(Recipient(1, "01011112222", "b-1", 0), capped).holding, Holding::CannotTell);
}

TEST(Settling, AMixedWindowIsSettledFromTheRecordAndTheNotesTogether) {
  FakeService service;
  service.held["b-1"] = {Entry("01000000001")};
  service.held["b-3"] = {Entry("01000000003", "800")};
  const std::vector<JournalRecipient> window = {Recipient(1, "01000000001", "b-1", 0),
                                                Recipient(2, "01000000002", "b-2", 0),
                                                Recipient(3, "01000000003", "b-3", 0)};
  StatusCache status(service.Lookup());
  // One accepted, one 800, one refused: the one not held was the refused one.
  auto answers = SettleWindow(window, ReadWindowNotes({"0", "1/800", "fail"}), status);
  ASSERT_EQ(answers.size(), 3u);
  EXPECT_EQ(answers[0].state, RecipientState::Accepted);
  EXPECT_EQ(answers[1].state, RecipientState::Refused);
  EXPECT_EQ(answers[2].state, RecipientState::Code800);
  EXPECT_EQ(answers[1].windowSequences, "0 1");
  // An "error" says nothing of whether the service got it: the one not held stays unknown.
  status.Forget();
  answers = SettleWindow(window, ReadWindowNotes({"0", "1/800", "error"}), status);
  EXPECT_EQ(answers[1].state, RecipientState::Unknown);
  // The record disagrees with the notes (a refusal the service holds): nothing is guessed.
  status.Forget();
  answers = SettleWindow(window, ReadWindowNotes({"0", "fail", "fail"}), status);
  EXPECT_EQ(answers[0].state, RecipientState::Accepted);
  EXPECT_EQ(answers[1].state, RecipientState::Unknown);
  // A status call that fails settles nothing for that recipient.
  service.failing = {"b-1"};
  StatusCache fresh(service.Lookup());
  answers = SettleWindow(window, ReadWindowNotes({"0", "1/800", "fail"}), fresh);
  EXPECT_EQ(answers[0].state, RecipientState::Unknown);
  EXPECT_EQ(answers[1].state, RecipientState::Unknown);
}

TEST(Settling, AnUnansweredRecipientIsSentAgainOnlyOnceItsDeadlineHasPassed) {
  FakeService service;
  service.held["b-2"] = {Entry("01000000002")};
  StatusCache status(service.Lookup());
  const JournalRecipient notHeld = Recipient(1, "01000000001", "b-1", 0);
  EXPECT_EQ(SettleUnanswered(notHeld, status, 1059).state, RecipientState::Unknown) << "the service may still store it";
  EXPECT_EQ(SettleUnanswered(notHeld, status, 1060).state, RecipientState::Queued);
  EXPECT_EQ(SettleUnanswered(Recipient(2, "01000000002", "b-2", 0), status, 1001).state, RecipientState::Accepted);
  JournalRecipient neverMarked = notHeld;
  neverMarked.markedAt = 0;  // a journal of an older version: no mark time, no guess
  EXPECT_EQ(SettleUnanswered(neverMarked, status, 99999).state, RecipientState::Unknown);
  // Recipients sharing a key share one call.
  EXPECT_EQ(service.calls, 2);
}

}  // namespace
