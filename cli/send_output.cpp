#include "cli/send_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "batch/batch_report.h"
#include "cli/terminal_output.h"

namespace {

// Recipients listed by name on standard error at the end; the rest are in the journal.
constexpr std::size_t kMaxListed = 20;
constexpr std::chrono::seconds kLineEvery{10};

}  // namespace

ProgressPrinter::ProgressPrinter(bool quiet)
    : m_quiet(quiet), m_terminal(isatty(STDERR_FILENO) == 1), m_lastLine(std::chrono::steady_clock::now()) {}

void ProgressPrinter::Show(const SendProgress& progress) {
  EndOpenOutputLine();  // the library's failure texts have no line end
  if (m_quiet) return;
  if (m_terminal) {
    std::fprintf(stderr, "\r%s", progress.Line().c_str());
    m_lineOpen = true;
  } else {
    // Elsewhere (a log, a pipe) the line does not rewrite itself: one per tenth or per 10 s.
    const int tenth = progress.Total() > 0 ? progress.Accounted() * 10 / progress.Total() : 10;
    const auto now = std::chrono::steady_clock::now();
    if (tenth == m_lastTenth && now - m_lastLine < kLineEvery) return;
    m_lastTenth = tenth;
    m_lastLine = now;
    std::fprintf(stderr, "%s\n", progress.Line().c_str());
  }
  std::fflush(stderr);
}

void ProgressPrinter::Finish() {
  if (m_lineOpen) std::fputc('\n', stderr);
  m_lineOpen = false;
}

bool Unanswered(RecipientState s) { return s == RecipientState::Unknown || s == RecipientState::InFlight; }
bool Failed(RecipientState s) { return s == RecipientState::Refused || s == RecipientState::Error; }

void ListRecipients(const char* title, const std::vector<JournalRecipient>& recipients, bool (*which)(RecipientState)) {
  std::size_t shown = 0, count = 0;
  for (const JournalRecipient& r : recipients) {
    if (!which(r.state)) continue;
    if (count++ == 0) std::fprintf(stderr, "%s:\n", title);
    if (shown < kMaxListed) {
      ++shown;
      std::fprintf(stderr, "  line %d  %s  %s  %s\n", r.line, TerminalSafe(r.phone).c_str(),
                   TerminalSafe(r.refKey).c_str(), StateName(r.state));
    }
  }
  if (count > shown) std::fprintf(stderr, "  ... and %zu more\n", count - shown);
}

bool WriteReport(const std::string& path, const std::vector<JournalRecipient>& recipients, std::string& problem) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0 || fchmod(fd, 0600) != 0) {  // an existing file keeps no wider mode either
    problem = std::strerror(errno);
    if (fd >= 0) close(fd);
    return false;
  }
  const std::string csv = RecipientCsv(recipients);
  std::size_t done = 0;
  while (done < csv.size()) {
    ssize_t n = write(fd, csv.data() + done, csv.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      problem = n < 0 ? std::strerror(errno) : "short write";
      close(fd);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  if (fsync(fd) != 0 || close(fd) != 0) {
    problem = std::strerror(errno);
    return false;
  }
  return true;
}

std::string SendJson(const BatchJournal& journal, const std::vector<JournalRecipient>& recipients, const SendRun& run,
                     int status) {
  const BatchSettings& s = journal.Settings();
  const double commitMs = journal.Commits() > 0 ? journal.CommitMilliseconds() / journal.Commits() : 0;
  char commit[64];
  std::snprintf(commit, sizeof commit, "%.3f", commitMs);
  return "{\"batch\": " + JsonString(s.batchId) + ", \"journal\": " + JsonString(journal.Path()) +
         ", \"kind\": " + JsonString(s.kind) + ", \"exit_status\": " + std::to_string(status) +
         ", \"stopped_by_signal\": " + (run.stopSignal > 0 ? std::to_string(run.stopSignal) : "null") +
         ", \"problem\": " + (run.problem.empty() ? "null" : JsonString(run.problem)) +
         ", \"settled_from_service\": " + std::to_string(run.settledFromService) +
         ", \"journal_commits\": " + std::to_string(journal.Commits()) + ", \"journal_commit_ms\": " + commit +
         ",\n\"counts\": " + CountsJson(recipients) + ",\n\"recipients\": " + RecipientsJson(recipients) + "}\n";
}

bool JsonChannel::Begin() {
  std::fflush(stdout);
  int fd = dup(STDOUT_FILENO);
  if (fd < 0) return false;
  fcntl(fd, F_SETFD, FD_CLOEXEC);
  m_out = fdopen(fd, "w");
  if (m_out == nullptr) {
    close(fd);
    return false;
  }
  return dup2(STDERR_FILENO, STDOUT_FILENO) >= 0;
}

bool JsonChannel::Write(const std::string& document) {
  if (m_out == nullptr) return false;
  const bool written = std::fwrite(document.data(), 1, document.size(), m_out) == document.size();
  const bool closed = std::fclose(m_out) == 0;
  m_out = nullptr;
  return written && closed;
}
