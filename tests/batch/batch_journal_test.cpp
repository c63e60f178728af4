// The batch journal: what it keeps, what it lets a run claim, and what a killed run leaves.
#include "batch/batch_journal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "batch/batch_report.h"
#include "batch/batch_sender.h"

namespace {

class Journal : public ::testing::Test {
 protected:
  void SetUp() override {
    m_path = testing::TempDir() + "/journal-" + std::to_string(getpid()) + "-" +
             testing::UnitTest::GetInstance()->current_test_info()->name() + "/batch.db";
    std::filesystem::remove_all(std::filesystem::path(m_path).parent_path());
    m_settings = {"20261209-150000-abcd", "demo", "sms", "0212345678", "", "hello", "", "N", "list.txt"};
  }
  std::unique_ptr<BatchJournal> Make() {
    std::string problem;
    auto journal =
        BatchJournal::Create(m_path, m_settings, {{2, "01011112222", ""}, {5, "01033334444", "mine"}}, problem);
    EXPECT_TRUE(journal) << problem;
    return journal;
  }
  std::string m_path;
  BatchSettings m_settings;
};

TEST_F(Journal, KeepsTheBatchAndDerivesMissingReferenceKeys) {
  Make();
  std::string problem;
  auto journal = BatchJournal::Open(m_path, problem);
  ASSERT_TRUE(journal) << problem;
  EXPECT_EQ(journal->Settings().message, "hello");
  EXPECT_EQ(journal->Settings().source, "list.txt");
  auto recipients = journal->Recipients();
  ASSERT_EQ(recipients.size(), 2u);
  EXPECT_EQ(recipients[0].refKey, "20261209-150000-abcd-2");
  EXPECT_EQ(recipients[1].refKey, "mine");
  EXPECT_EQ(recipients[1].state, RecipientState::Queued);

  struct stat info {};
  ASSERT_EQ(stat(m_path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  ASSERT_EQ(stat(std::filesystem::path(m_path).parent_path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(Journal, NeverOverwritesAndRefusesWhatIsNoJournal) {
  Make();
  std::string problem;
  EXPECT_FALSE(BatchJournal::Create(m_path, m_settings, {}, problem));
  EXPECT_NE(problem.find("exists already"), std::string::npos);
  EXPECT_FALSE(BatchJournal::Open(m_path + ".missing", problem));
  std::string other = m_path + ".txt";
  std::FILE* f = std::fopen(other.c_str(), "w");
  std::fputs("not a database at all, just text that is long enough to be read", f);
  std::fclose(f);
  EXPECT_FALSE(BatchJournal::Open(other, problem));
}

TEST_F(Journal, ARecipientIsClaimedOnceAndItsAnswerKept) {
  auto journal = Make();
  EXPECT_TRUE(journal->MarkInFlight(2, false));
  EXPECT_FALSE(journal->MarkInFlight(2, false));  // a second run must not send it again
  EXPECT_TRUE(journal->Record(2, RecipientState::Code800, 7));
  EXPECT_FALSE(journal->MarkInFlight(2, true));
  EXPECT_TRUE(journal->MarkInFlight(5, false));
  EXPECT_EQ(journal->InFlightToUnknown(), 1);
  EXPECT_FALSE(journal->MarkInFlight(5, false));
  EXPECT_TRUE(journal->MarkInFlight(5, true));  // --resend-unknown
  auto recipients = journal->Recipients();
  EXPECT_EQ(recipients[0].state, RecipientState::Code800);
  EXPECT_EQ(recipients[0].sequence, 7);
  EXPECT_EQ(recipients[1].state, RecipientState::InFlight);
}

TEST_F(Journal, AProcessKilledAfterAnyCommitLeavesWhatItCommitted) {
  Make();
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string problem;
    auto journal = BatchJournal::Open(m_path, problem);
    journal->MarkInFlight(2, false);
    journal->Record(2, RecipientState::Accepted, 0);
    journal->MarkInFlight(5, false);
    _exit(0);  // no close, no checkpoint: as after SIGKILL
  }
  int status = 0;
  waitpid(child, &status, 0);
  std::string problem;
  auto journal = BatchJournal::Open(m_path, problem);
  ASSERT_TRUE(journal) << problem;
  auto recipients = journal->Recipients();
  EXPECT_EQ(recipients[0].state, RecipientState::Accepted);
  EXPECT_EQ(recipients[1].state, RecipientState::InFlight);
  EXPECT_EQ(CountStates(recipients).unknown, 1);
}

TEST(BatchReport, SummaryTableAndCsvSayWhatBecameOfEach) {
  std::vector<JournalRecipient> recipients = {{1, "01011112222", "a,\"b\"", RecipientState::Accepted, 0},
                                              {2, "01011113333", "r-2", RecipientState::Error, -1},
                                              {3, "01011114444", "r-3", RecipientState::InFlight, -1},
                                              {4, "01011115555", "r-4", RecipientState::Queued, -1},
                                              {5, "01011116666", "r\x1b[2J", RecipientState::Refused, -1}};
  BatchCounts counts = CountStates(recipients);
  EXPECT_EQ(SummaryLine(counts, "lms"),
            "5 messages (LMS): 1 sent, 0 with 800, 1 failed, 1 errors, 1 unknown, 1 not sent");
  EXPECT_EQ(RecipientCsv(recipients),
            "line,phone,ref_key,state,sequence\r\n1,01011112222,\"a,\"\"b\"\"\",accepted,0\r\n"
            "2,01011113333,r-2,error,\r\n3,01011114444,r-3,in flight,\r\n4,01011115555,r-4,queued,\r\n"
            "5,01011116666,r\x1b[2J,refused,\r\n");
}

TEST(BatchSender, NotificationsReadAsAnswers) {
  struct Case {
    const char* text;
    bool answer;
    RecipientState state;
    int sequence;
  } cases[] = {{"0", true, RecipientState::Accepted, 0},     {"12", true, RecipientState::Accepted, 12},
               {"3/800", true, RecipientState::Code800, 3},  {"fail", true, RecipientState::Refused, -1},
               {"error", true, RecipientState::Error, -1},   {"end", false, RecipientState::Queued, -1},
               {"x/800", true, RecipientState::Unknown, -1}, {"99999999999", true, RecipientState::Unknown, -1},
               {"", true, RecipientState::Unknown, -1}};
  for (const Case& c : cases) {
    RecipientState state = RecipientState::Queued;
    int sequence = 42;
    EXPECT_EQ(ReadNotification(c.text, state, sequence), c.answer) << c.text;
    EXPECT_EQ(state, c.state) << c.text;
    EXPECT_EQ(sequence, c.sequence) << c.text;
  }
}

}  // namespace
