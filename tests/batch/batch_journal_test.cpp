// The batch journal: what it keeps, what it lets a run claim, and what a killed run leaves.
#include "batch/batch_journal.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "batch/batch_report.h"

namespace {

JournalRecipient Recipient(int line, const char* phone, const char* refKey, RecipientState state, int sequence) {
  JournalRecipient r;
  r.line = line;
  r.phone = phone;
  r.refKey = refKey;
  r.state = state;
  r.sequence = sequence;
  return r;
}

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
    std::vector<JournalRecipient> recipients(2);
    recipients[0].line = 2;
    recipients[0].phone = "01011112222";
    recipients[1].line = 5;
    recipients[1].phone = "01033334444";
    recipients[1].refKey = "mine";
    auto journal = BatchJournal::Create(m_path, m_settings, recipients, problem);
    EXPECT_TRUE(journal) << problem;
    return journal;
  }
  // A journal of `count` recipients at lines 1..count, closed again.
  void MakeLarge(int count) {
    std::vector<JournalRecipient> recipients(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
      recipients[i].line = i + 1;
      recipients[i].phone = "010" + std::to_string(10000000 + i);
    }
    std::string problem;
    ASSERT_TRUE(BatchJournal::Create(m_path, m_settings, recipients, problem)) << problem;
  }
  std::string ReadFile() {
    std::FILE* f = std::fopen(m_path.c_str(), "rb");
    std::string bytes;
    char buffer[4096];
    std::size_t got;
    while (f != nullptr && (got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, got);
    if (f != nullptr) std::fclose(f);
    return bytes;
  }
  void WriteAt(std::size_t offset, const std::string& bytes) {
    std::FILE* f = std::fopen(m_path.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    std::fseek(f, static_cast<long>(offset), SEEK_SET);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
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

TEST_F(Journal, AJournalOfTheFirstVersionIsBroughtUpToDate) {
  std::filesystem::create_directories(std::filesystem::path(m_path).parent_path());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(m_path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(
      sqlite3_exec(db,
                   "PRAGMA journal_mode=WAL;"
                   "CREATE TABLE batch (name TEXT PRIMARY KEY, value TEXT NOT NULL);"
                   "CREATE TABLE recipients (line INTEGER PRIMARY KEY, phone TEXT NOT NULL, ref_key TEXT NOT NULL,"
                   " state TEXT NOT NULL, sequence INTEGER, updated TEXT NOT NULL);"
                   "INSERT INTO batch VALUES ('batch_id', 'B'), ('user_id', 'demo'), ('kind', 'sms');"
                   "INSERT INTO recipients VALUES (1, '01011112222', 'B-1', 'accepted', 0, 'x'),"
                   " (2, '01033334444', 'k', 'in flight', NULL, 'x');",
                   nullptr, nullptr, nullptr),
      SQLITE_OK);
  sqlite3_close(db);
  std::string problem;
  auto journal = BatchJournal::Open(m_path, problem);
  ASSERT_TRUE(journal) << problem;
  auto recipients = journal->Recipients();
  ASSERT_EQ(recipients.size(), 2u);
  EXPECT_TRUE(recipients[0].ownKey);
  EXPECT_EQ(recipients[0].baseline, 0);
  EXPECT_FALSE(recipients[1].ownKey);
  EXPECT_EQ(recipients[1].baseline, -1) << "a user's key: what the service held before is not known";
  EXPECT_EQ(recipients[1].state, RecipientState::InFlight);
  journal.reset();
  EXPECT_FALSE(std::filesystem::exists(m_path + "-wal")) << "no longer a write-ahead log";
  EXPECT_TRUE(BatchJournal::Open(m_path, problem)) << problem;
}

TEST(BatchReport, SummaryTableAndCsvSayWhatBecameOfEach) {
  std::vector<JournalRecipient> recipients = {Recipient(1, "01011112222", "a,\"b\"", RecipientState::Accepted, 0),
                                              Recipient(2, "01011113333", "r-2", RecipientState::Error, -1),
                                              Recipient(3, "01011114444", "r-3", RecipientState::InFlight, -1),
                                              Recipient(4, "01011115555", "r-4", RecipientState::Queued, -1),
                                              Recipient(5, "01011116666", "r\x1b[2J", RecipientState::Refused, -1)};
  BatchCounts counts = CountStates(recipients);
  EXPECT_EQ(SummaryLine(counts, "lms"),
            "5 messages (LMS): 1 sent, 0 with 800, 1 failed, 1 errors, 1 unknown, 1 not sent");
  EXPECT_EQ(RecipientCsv(recipients),
            "line,phone,ref_key,state,sequence,window_sequences,delivery,asked_at\r\n"
            "1,01011112222,\"a,\"\"b\"\"\",accepted,0,,,\r\n"
            "2,01011113333,r-2,error,,,,\r\n3,01011114444,r-3,in flight,,,,\r\n4,01011115555,r-4,queued,,,,\r\n"
            "5,01011116666,r\x1b[2J,refused,,,,\r\n");
  // What a spreadsheet would run as a formula is made text; the rest stays as it is.
  EXPECT_EQ(CsvCell("=HYPERLINK(\"x\")"), "\"'=HYPERLINK(\"\"x\"\")\"");
  EXPECT_EQ(CsvCell("+1"), "'+1");
  EXPECT_EQ(CsvCell("-2"), "'-2");
  EXPECT_EQ(CsvCell("@cmd"), "'@cmd");
  EXPECT_EQ(CsvCell("\tx"), "'\tx");
  EXPECT_EQ(CsvCell("\rx"), "\"'\rx\"");
  EXPECT_EQ(CsvCell("010-1111"), "010-1111");
  // JSON: escaped, valid UTF-8 whatever the bytes, sequences only as a run writes them.
  EXPECT_EQ(JsonString("a\"b\\c\x01\n"), "\"a\\\"b\\\\c\\u0001\\u000a\"");
  EXPECT_EQ(JsonString("x\xFFy"), "\"x\xEF\xBF\xBDy\"");
  recipients[0].windowSequences = "4 5 6";
  recipients[1].windowSequences = "4 ], 6";
  const std::string json = RecipientsJson(recipients);
  EXPECT_NE(json.find("\"window_sequences\": [4,5,6]"), std::string::npos) << json;
  EXPECT_EQ(json.find("]\","), std::string::npos) << json;
}

TEST_F(Journal, OneRunAtATimeAndAKilledRunFreesTheJournal) {
  Make();
  std::string problem;
  auto first = BatchJournal::Open(m_path, problem);
  ASSERT_TRUE(first) << problem;
  JournalFault fault = JournalFault::None;
  EXPECT_FALSE(BatchJournal::Open(m_path, problem, &fault));
  EXPECT_EQ(fault, JournalFault::InUse);
  EXPECT_NE(problem.find("in use by process " + std::to_string(getpid())), std::string::npos) << problem;
  EXPECT_TRUE(BatchJournal::OpenForReading(m_path, problem)) << "looking needs no lock";
  first.reset();

  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string p;
    auto held = BatchJournal::Open(m_path, p);
    held->MarkInFlight(2, false, 60);
    kill(getpid(), SIGKILL);
  }
  int status = 0;
  waitpid(child, &status, 0);
  auto after = BatchJournal::Open(m_path, problem);
  ASSERT_TRUE(after) << problem;
  EXPECT_EQ(after->Recipients()[0].state, RecipientState::InFlight);
  EXPECT_EQ(after->Recipients()[0].deadline, 60);
  EXPECT_GT(after->Recipients()[0].markedAt, 0);
}

TEST_F(Journal, AFlippedStateIsRefusedAndStillShown) {
  {
    auto journal = Make();
    journal->MarkInFlight(2, false);
    journal->Record(2, RecipientState::Refused);
  }
  std::string bytes = ReadFile();
  // The refused recipient's row: its phone, then (within the row) its state.
  std::size_t row = bytes.find("01011112222");
  ASSERT_NE(row, std::string::npos);
  std::size_t state = bytes.find("refused", row);
  ASSERT_NE(state, std::string::npos);
  ASSERT_LT(state - row, 200u);
  WriteAt(state, "unknown");  // a valid state of the same length: only the summary can tell
  std::string problem;
  JournalFault fault = JournalFault::None;
  EXPECT_FALSE(BatchJournal::Open(m_path, problem, &fault));
  EXPECT_EQ(fault, JournalFault::Damaged);
  EXPECT_NE(problem.find("is damaged"), std::string::npos) << problem;
  EXPECT_NE(problem.find("nothing was sent"), std::string::npos) << problem;
  auto shown = BatchJournal::OpenForReading(m_path, problem);
  ASSERT_TRUE(shown) << problem;
  EXPECT_FALSE(shown->Damage().empty());
  EXPECT_EQ(shown->Recipients().size(), 2u);
}

TEST_F(Journal, ADamagedPageInTheMiddleIsRefusedNeverReadAsAShorterBatch) {
  MakeLarge(3000);
  const std::string bytes = ReadFile();
  ASSERT_GT(bytes.size(), 20u * 4096);
  WriteAt(bytes.size() / 2 / 4096 * 4096 + 100, std::string(600, '\x5a'));
  std::string problem;
  JournalFault fault = JournalFault::None;
  EXPECT_FALSE(BatchJournal::Open(m_path, problem, &fault));
  EXPECT_EQ(fault, JournalFault::Damaged) << problem;
  auto shown = BatchJournal::OpenForReading(m_path, problem);
  ASSERT_TRUE(shown) << problem;
  EXPECT_FALSE(shown->Damage().empty());
}

TEST_F(Journal, NoWriteAheadLogSoACopyOfTheFileIsTheWholeState) {
  auto journal = Make();
  journal->MarkInFlight(2, false, 60);
  EXPECT_FALSE(std::filesystem::exists(m_path + "-wal"));
  const std::string copy = m_path + ".copy";
  std::filesystem::copy_file(m_path, copy);
  std::string problem;
  auto copied = BatchJournal::Open(copy, problem);
  ASSERT_TRUE(copied) << problem;
  EXPECT_EQ(copied->Recipients()[0].state, RecipientState::InFlight);
}

TEST_F(Journal, AnEmptyFileLeftByAKillAtCreationIsNamedAndMadeAgain) {
  std::filesystem::create_directories(std::filesystem::path(m_path).parent_path());
  std::fclose(std::fopen(m_path.c_str(), "w"));
  std::string problem;
  EXPECT_FALSE(BatchJournal::Open(m_path, problem));
  EXPECT_NE(problem.find("is empty: a run was killed while making it"), std::string::npos) << problem;
  auto made = Make();
  ASSERT_TRUE(made);
  EXPECT_EQ(made->Recipients().size(), 2u);
}

TEST_F(Journal, AWindowIsClaimedInOneTransactionWithTheAnswersBeforeIt) {
  auto journal = Make();
  std::vector<int> claimed;
  ASSERT_TRUE(journal->BeginWindow({}, {2}, false, 7, claimed));
  EXPECT_EQ(claimed, std::vector<int>{2});
  RecipientAnswer accepted;
  accepted.line = 2;
  accepted.state = RecipientState::Accepted;
  accepted.windowSequences = "4 5 6";
  ASSERT_TRUE(journal->BeginWindow({accepted}, {2, 5}, false, 7, claimed));
  EXPECT_EQ(claimed, std::vector<int>{5}) << "an answered recipient is never claimed again";
  auto recipients = journal->Recipients();
  EXPECT_EQ(recipients[0].state, RecipientState::Accepted);
  EXPECT_EQ(recipients[0].windowSequences, "4 5 6");
  EXPECT_EQ(recipients[1].deadline, 7);
  EXPECT_TRUE(recipients[0].ownKey);
  EXPECT_EQ(recipients[0].baseline, 0);
  EXPECT_FALSE(recipients[1].ownKey);
  EXPECT_EQ(recipients[1].baseline, -1);
  ASSERT_TRUE(journal->SetBaselines({{5, 3}}));
  EXPECT_EQ(journal->Recipients()[1].baseline, 3);
  EXPECT_EQ(journal->Commits(), 4);

  // A renewed mark moves only what is still in flight: an answered recipient keeps its answer.
  ASSERT_TRUE(journal->RenewMarks({2, 5}, 9));
  recipients = journal->Recipients();
  EXPECT_EQ(recipients[0].state, RecipientState::Accepted);
  EXPECT_EQ(recipients[0].deadline, 7);
  EXPECT_EQ(recipients[1].state, RecipientState::InFlight);
  EXPECT_EQ(recipients[1].deadline, 9);
}

}  // namespace
