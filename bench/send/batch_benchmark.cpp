// `norvosms send` of 1,000 recipients against the sandbox the library's own runs use, straight
// and through the 10 ms relay, and with 5% of the recipients refused, so that the windows the
// notes cannot settle are settled from the service's record; the journal's commit time as the
// client reports it, and a bare durable SQLite commit of the same size beside it.
#include <sqlite3.h>
#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "send_run.h"

namespace {

constexpr int kRecipients = 1000;
constexpr int kRefused = kRecipients / 20;
constexpr int kCommits = 200;

std::vector<double> g_batchMsgsPerS[2][2];  // [relayed][with refusals]
std::vector<double> g_commitMs;             // the client's own, per journal commit
std::vector<double> g_bareCommitMs[2];      // a bare SQLite transaction of three rows [wal]

std::string Folder() {
  static const std::string folder = [] {
    std::string path = std::string(NORVOSMS_BENCH_STATE) + "/batch";
    Run("mkdir -p '" + path + "'");
    return path;
  }();
  return folder;
}

double ChildrenCpuSeconds() {
  rusage r{};
  getrusage(RUSAGE_CHILDREN, &r);
  return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
         static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

std::string Phone(int i) {
  char phone[16];
  std::snprintf(phone, sizeof phone, "0109%07d", i);
  return phone;
}

// The sandbox refuses the next message to each of `count` recipients chosen at random.
void RefuseSome(std::mt19937& random, int count) {
  std::vector<int> lines(kRecipients);
  for (int i = 0; i < kRecipients; ++i) lines[i] = i;
  std::shuffle(lines.begin(), lines.end(), random);
  std::string phones;
  for (int i = 0; i < count; ++i) phones.append(1, ' ').append(Phone(lines[i]));
  Run(std::string(NORVOSMS_PYTHON) +
      " -c 'import sys, urllib.request as u\n"
      "for p in sys.argv[2:]: u.urlopen(u.Request(sys.argv[1] + \"/send/answer\", (p + \" E106\").encode())).read()' " +
      SandboxValue("control_url") + phones);
}

// One `norvosms send` of the whole list to its end, as a user runs it; its exit status, and the
// mean time of its journal commits from its --json outcome (0 when it gives none).
int SendWithCli(const std::string& url, const std::string& list, const std::string& journal, double& commitMs) {
  std::string command = "NORVOSMS_API_URL='" + url + "' NORVOSMS_CA_FILE='" + SandboxValue("ca_file") +
                        "' NORVOSMS_ID=demo NORVOSMS_API_KEY=demo-key NORVOSMS_TIMEOUT=60 NO_PROXY=127.0.0.1 '" +
                        NORVOSMS_CLI "' send --json --file '" + list + "' --journal '" + journal +
                        "' --callback 02-555-0100 'benchmark message' >'" + journal + ".json' 2>'" + journal +
                        ".err'; echo $?";
  int status = -1;
  std::sscanf(Run(command).c_str(), "%d", &status);
  std::ifstream outcome(journal + ".json");
  const std::string text((std::istreambuf_iterator<char>(outcome)), std::istreambuf_iterator<char>());
  const std::string key = "\"journal_commit_ms\": ";
  const std::size_t at = text.find(key);
  commitMs = at == std::string::npos ? 0 : std::atof(text.c_str() + at + key.size());
  return status;
}

void BM_BatchSend1000(benchmark::State& state) {
  const bool relayed = state.range(0) != 0, refusals = state.range(1) != 0;
  const std::string url = ApiUrl(relayed);
  const std::string list = Folder() + "/recipients.txt";
  {
    std::ofstream out(list);
    for (int i = 0; i < kRecipients; ++i) out << Phone(i) << '\n';
  }
  static std::mt19937 random(20261210);
  static int runs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string journal = Folder() + "/run" + std::to_string(++runs) + ".db";
    std::remove(journal.c_str());
    if (refusals) RefuseSome(random, kRefused);
    state.ResumeTiming();
    const double cpu = ChildrenCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    double commitMs = 0;
    const int status = SendWithCli(url, list, journal, commitMs);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status != (refusals ? 1 : 0)) {
      state.SkipWithError(
          ("norvosms send exit status " + std::to_string(status) + ", see " + journal + ".err").c_str());
      return;
    }
    state.counters["msgs_per_s"] = kRecipients / seconds;
    state.counters["cpu_us_per_msg"] = (ChildrenCpuSeconds() - cpu) * 1e6 / kRecipients;
    g_batchMsgsPerS[relayed][refusals].push_back(state.counters["msgs_per_s"]);
    if (commitMs > 0) {
      state.counters["journal_commit_ms"] = commitMs;
      g_commitMs.push_back(commitMs);
    }
  }
}
BENCHMARK(BM_BatchSend1000)
    ->ArgNames({"relayed", "refused_5pct"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Apply(Repeated);

bool Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

// What a durable commit costs here without the client: a transaction of three rows, synchronous
// FULL, in the folder where the benchmark's journals go; with a persistent rollback journal, as the
// batch journal keeps, and with a write-ahead log for comparison.
void BM_JournalCommit(benchmark::State& state) {
  const bool wal = state.range(0) != 0;
  const std::string path = Folder() + "/commit.db";
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((path + suffix).c_str());
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
            Exec(db, wal ? "PRAGMA journal_mode=WAL" : "PRAGMA journal_mode=PERSIST") &&
            Exec(db, "PRAGMA synchronous=FULL") &&
            Exec(db, "CREATE TABLE recipients (line INTEGER PRIMARY KEY, state TEXT, deadline INTEGER)");
  for (int i = 1; ok && i <= kRecipients; ++i)
    ok = Exec(db, ("INSERT INTO recipients VALUES (" + std::to_string(i) + ", 'queued', 0)").c_str());
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (int window = 0; ok && window < kCommits; ++window) {
      const std::string first = std::to_string(window * 3 + 1), last = std::to_string(window * 3 + 3);
      ok = Exec(db, "BEGIN IMMEDIATE") &&
           Exec(db, ("UPDATE recipients SET state = 'in flight', deadline = 600 WHERE line BETWEEN " + first + " AND " +
                     last)
                        .c_str()) &&
           Exec(db, "COMMIT");
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!ok) {
      state.SkipWithError(sqlite3_errmsg(db));
      break;
    }
    state.counters["commit_ms"] = seconds * 1e3 / kCommits;
    g_bareCommitMs[wal].push_back(state.counters["commit_ms"]);
  }
  sqlite3_close(db);
}
BENCHMARK(BM_JournalCommit)->ArgName("wal")->Arg(0)->Arg(1)->Apply(Repeated);

}  // namespace

// The batch's messages per second over the library's, from the medians of this run: through the
// relay the target is at least 0.9, straight to the sandbox at least 0.6.
void PrintBatchTargets() {
  std::vector<std::pair<std::string, double>> figures;
  for (int relayed = 0; relayed < 2; ++relayed) {
    const double library = LibraryMsgsPerS(relayed != 0);
    const double batch = Median(g_batchMsgsPerS[relayed][0]), refused = Median(g_batchMsgsPerS[relayed][1]);
    const std::string where = relayed ? "relayed" : "direct";
    if (library <= 0) continue;
    if (batch > 0) {
      figures.emplace_back(where + "_ratio", batch / library);
      figures.emplace_back(where + "_ratio_met", batch / library >= (relayed ? 0.9 : 0.6) ? 1 : 0);
    }
    if (refused > 0) figures.emplace_back(where + "_refused_ratio", refused / library);
  }
  if (const double commit = Median(g_commitMs); commit > 0) figures.emplace_back("journal_commit_ms", commit);
  if (const double bare = Median(g_bareCommitMs[0]); bare > 0) figures.emplace_back("bare_commit_ms", bare);
  if (const double wal = Median(g_bareCommitMs[1]); wal > 0) figures.emplace_back("bare_wal_commit_ms", wal);
  if (figures.empty()) return;
  std::printf("BM_BatchTargets (medians of this run)");
  for (const auto& [name, value] : figures) std::printf(" %s=%.3f", name.c_str(), value);
  std::printf("\n");
}
