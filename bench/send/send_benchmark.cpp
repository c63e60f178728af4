// Sending through the library's exports against a loopback sandbox.
#include "api/NorvoSMS.h"

#include <windows.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bare_curl_client.h"
#include "notification_floor.h"
#include "process_usage.h"
#include "send_run.h"
#include "cli/notification_window.h"

namespace {

std::map<std::string, std::string> g_endpoint;

// Figures of this run, indexed by relayed (0 or 1), for the targets stated as ratios: every
// repetition's, of which the targets take the median (one run of each varies by a fifth on a
// shared machine, and the repetitions of all clients are interleaved so that a slow spell does
// not fall on one client alone).
std::vector<double> g_libraryCpuPerMsg[2];
std::vector<double> g_libraryMsgsPerS[2];
std::vector<double> g_keptPythonCpuPerMsg[2];
std::vector<double> g_bareCurlCpuPerMsg[2];
std::vector<double> g_notificationCpuPerMsg;
std::vector<double> g_floorCpuPerMsg;  // bare libcurl notifying the caller's window

void StartSandbox() {
  if (!g_endpoint.empty()) return;
  std::string state = NORVOSMS_BENCH_STATE;
  Run(std::string(NORVOSMS_PYTHON) + " " NORVOSMS_SOURCE_ROOT "/sandbox/fixture.py start " + state);
  std::ifstream ready(state + "/endpoint.txt");
  std::string line;
  while (std::getline(ready, line)) {
    auto eq = line.find('=');
    if (eq != std::string::npos) g_endpoint[line.substr(0, eq)] = line.substr(eq + 1);
  }
  setenv("NORVOSMS_API_URL", g_endpoint["api_url"].c_str(), 1);
  setenv("NORVOSMS_CA_FILE", g_endpoint["ca_file"].c_str(), 1);
  setenv("NO_PROXY", "127.0.0.1", 1);
  std::atexit([] {
    Run(std::string(NORVOSMS_PYTHON) + " " NORVOSMS_SOURCE_ROOT "/sandbox/fixture.py stop " NORVOSMS_BENCH_STATE);
  });
}

// The caller's window, on the benchmark thread; never destroyed, as workers may still report.
NotificationWindow& CallerWindow() {
  static NotificationWindow* window = new NotificationWindow;
  return *window;
}

// Sends one batch on a pool that already runs and pumps until its "end".
void SendBatch(int count) {
  NotificationWindow& window = CallerWindow();
  window.Take();
  for (int i = 0; i < count; ++i) {
    SendSMS(window.Handle(), "010" + std::to_string(10000000 + i), "0212345678", "benchmark message", "", "bench",
            count, "N");
  }
  // Every message answered (number, "fail" or "error") and the batch's "end". Blocking, as a
  // caller's message loop would: a polling loop would count as client CPU and hold every
  // notification back until its next turn.
  PumpBlockingUntilEnd(window, static_cast<std::size_t>(count) + 1);
}

// A run's figures per message, as every sending benchmark reports them.
void ReportPerMessage(benchmark::State& state, const MeasuredRun& run, int messages) {
  state.counters["msgs_per_s"] = messages / run.seconds;
  state.counters["cpu_us_per_msg"] = run.used.Cpu() * 1e6 / messages;
  state.counters["user_us_per_msg"] = run.used.user * 1e6 / messages;
  state.counters["sys_us_per_msg"] = run.used.system * 1e6 / messages;
  state.counters["switches_per_msg"] = run.used.switches / messages;
  state.counters["preempted_per_msg"] = run.used.preempted / messages;
  state.counters["faults_per_msg"] = run.used.faults / messages;
}

long ResidentKilobytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * 4;
}

// The sandbox's API address, or the same through a relay that delays each direction by
// 10 ms (sandbox/latency_relay.py), so that round trips cost what a network's do.
std::string RelayedApiUrl() {
  static std::string url = [] {
    StartSandbox();
    std::string api = g_endpoint["api_url"];  // https://127.0.0.1:PORT/api_app
    std::string port = api.substr(api.rfind(':') + 1);
    port = port.substr(0, port.find('/'));
    std::string ready = std::string(NORVOSMS_BENCH_STATE) + "/relay.txt";
    std::remove(ready.c_str());
    Run(std::string(NORVOSMS_PYTHON) + " " NORVOSMS_SOURCE_ROOT "/sandbox/latency_relay.py 127.0.0.1 " + port +
        " 10 --ready " + ready + " >/dev/null 2>&1 &");
    std::map<std::string, std::string> values;
    for (int i = 0; i < 200 && values.empty(); ++i) {
      Sleep(50);
      std::ifstream file(ready);
      std::string line;
      while (std::getline(file, line)) {
        auto eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
      }
    }
    if (values.count("pid")) {
      static std::string pid = values["pid"];
      std::atexit([] { Run("kill " + pid); });
    }
    return "https://127.0.0.1:" + values["port"] + "/api_app";
  }();
  return url;
}

}  // namespace

std::string ApiUrl(bool relayed) {
  StartSandbox();
  return relayed ? RelayedApiUrl() : g_endpoint["api_url"];
}

std::string SandboxValue(const std::string& name) {
  StartSandbox();
  return g_endpoint[name];
}

std::string Run(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    pclose(pipe);
  }
  return out;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double LibraryMsgsPerS(bool relayed) { return Median(g_libraryMsgsPerS[relayed ? 1 : 0]); }

namespace {

// Straight to the sandbox and through the relay, each repeated for the medians.
void DirectAndRelayed(benchmark::internal::Benchmark* b) { b->ArgName("relayed")->Arg(0)->Arg(1)->Apply(Repeated); }

// 1,000 messages through the library's three workers.
void BM_Library1000(benchmark::State& state) {
  setenv("NORVOSMS_API_URL", ApiUrl(state.range(0)).c_str(), 1);
  InitDLL("demo", "demo-key");
  CreateThreadDll();
  StartSMS();
  SendBatch(3);  // warm-up: the first connections and "end"
  for (auto _ : state) {
    ReportPerMessage(state, Measure([] { SendBatch(1000); }), 1000);
    g_libraryMsgsPerS[state.range(0)].push_back(state.counters["msgs_per_s"]);
    g_libraryCpuPerMsg[state.range(0)].push_back(state.counters["cpu_us_per_msg"]);
  }
  DestroyThread();
  FreeDll();
  setenv("NORVOSMS_API_URL", g_endpoint["api_url"].c_str(), 1);
}
BENCHMARK(BM_Library1000)->Apply(DirectAndRelayed);

// The same calls from Python's xmlrpc.client on three threads: a fresh connection per call
// (kept 0) or one kept connection per thread (kept 1).
void BM_PythonReference1000(benchmark::State& state) {
  std::string url = ApiUrl(state.range(0));
  const char* mode = state.range(1) ? "kept" : "fresh";
  for (auto _ : state) {
    std::string out = Run(std::string(NORVOSMS_PYTHON) + " " NORVOSMS_SOURCE_ROOT "/bench/send/reference_client.py " +
                          url + " " + g_endpoint["ca_file"] + " 1000 " + mode);
    double seconds = 0, cpu = 0;
    if (std::sscanf(out.c_str(), "%lf %lf", &seconds, &cpu) != 2 || seconds <= 0) {
      state.SkipWithError("reference client failed");
      return;
    }
    state.counters["msgs_per_s"] = 1000 / seconds;
    state.counters["cpu_us_per_msg"] = cpu * 1e6 / 1000;
    if (state.range(1)) g_keptPythonCpuPerMsg[state.range(0)].push_back(state.counters["cpu_us_per_msg"]);
  }
}
BENCHMARK(BM_PythonReference1000)->ArgNames({"relayed", "kept"})->Args({0, 1})->Args({1, 1})->Apply(Repeated);
BENCHMARK(BM_PythonReference1000)  // fresh connections: far off, once is enough
    ->ArgNames({"relayed", "kept"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The floor under the library: the same calls straight through libcurl on three kept
// connections, nothing else in the process.
void BM_BareLibcurl1000(benchmark::State& state) {
  std::string url = ApiUrl(state.range(0));
  for (auto _ : state) {
    BareCurlRun run = RunBareCurlClient(url, g_endpoint["ca_file"], 1000);
    if (!run.ok || run.seconds <= 0) {
      state.SkipWithError("bare libcurl client failed");
      return;
    }
    ReportPerMessage(state, run, 1000);
    g_bareCurlCpuPerMsg[state.range(0)].push_back(state.counters["cpu_us_per_msg"]);
  }
}
BENCHMARK(BM_BareLibcurl1000)->Apply(DirectAndRelayed);

// The floor under any library on libcurl that keeps the exports' contract: the bare calls, each
// answer also sent to the caller's window as a synchronous WM_COPYDATA from its worker.
void BM_BareLibcurlNotifying1000(benchmark::State& state) {
  std::string url = ApiUrl(false);
  for (auto _ : state) {
    BareCurlRun run = RunBareCurlClient(url, g_endpoint["ca_file"], 1000, &CallerWindow());
    if (!run.ok || run.seconds <= 0) {
      state.SkipWithError("bare libcurl client failed");
      return;
    }
    ReportPerMessage(state, run, 1000);
    g_floorCpuPerMsg.push_back(state.counters["cpu_us_per_msg"]);
  }
}
BENCHMARK(BM_BareLibcurlNotifying1000)->Apply(Repeated);

// What the exports' contract adds to every message whatever the transport: its synchronous
// WM_COPYDATA to the caller's window from three workers (threads waking each other).
void BM_Notification1000(benchmark::State& state) {
  for (auto _ : state) {
    MeasuredRun run = RunNotificationFloor(CallerWindow(), 1000);
    ReportPerMessage(state, run, 1000);
    g_notificationCpuPerMsg.push_back(state.counters["cpu_us_per_msg"]);
  }
}
BENCHMARK(BM_Notification1000)->Apply(Repeated);

// The targets, from the medians of the figures above in this same run: the library's client CPU
// per message over the kept-connection Python peer's (target at most 0.5, direct and relayed),
// and the library's messages per second through the 10 ms relay (target at least 120). Printed
// after every benchmark has run, each when its figures were measured.
void PrintSendTargets() {
  const double library = Median(g_libraryCpuPerMsg[0]), python = Median(g_keptPythonCpuPerMsg[0]);
  const double relayRate = Median(g_libraryMsgsPerS[1]);
  std::vector<std::pair<std::string, double>> figures;
  if (library > 0 && python > 0) {
    figures.emplace_back("cpu_ratio_direct", library / python);
    figures.emplace_back("cpu_ratio_met", library / python <= 0.5 ? 1 : 0);
    if (Median(g_libraryCpuPerMsg[1]) > 0 && Median(g_keptPythonCpuPerMsg[1]) > 0)
      figures.emplace_back("cpu_ratio_relayed", Median(g_libraryCpuPerMsg[1]) / Median(g_keptPythonCpuPerMsg[1]));
    if (const double bare = Median(g_bareCurlCpuPerMsg[0]); bare > 0) {
      // How far below the target libcurl alone already is, and the library's cost over it.
      figures.emplace_back("bare_curl_cpu_ratio_direct", bare / python);
      figures.emplace_back("library_over_bare_curl", library / bare);
    }
    // The least any library on libcurl could cost here: libcurl's transfer plus the notification.
    if (const double floor = Median(g_floorCpuPerMsg); floor > 0) {
      figures.emplace_back("floor_cpu_ratio_direct", floor / python);
      figures.emplace_back("library_over_floor", library / floor);
    }
  }
  if (relayRate > 0) {
    figures.emplace_back("relay_msgs_per_s", relayRate);
    figures.emplace_back("relay_rate_met", relayRate >= 120 ? 1 : 0);
  }
  if (figures.empty()) return;
  std::printf("BM_SendTargets (medians of this run)");
  for (const auto& [name, value] : figures) std::printf(" %s=%.3f", name.c_str(), value);
  std::printf("\n");
}

// A started pool with nothing to send, over 10 seconds; the target is under 1% of one core.
void BM_IdlePoolCpu10s(benchmark::State& state) {
  StartSandbox();
  InitDLL("demo", "demo-key");
  CreateThreadDll();
  StartSMS();
  SendBatch(1);
  for (auto _ : state) {
    double cpu = ProcessUsage::Now().Cpu();
    // The pump blocks between messages, so the measuring thread adds nothing to the figure.
    CallerWindow().PumpUntil([] { return false; }, std::chrono::seconds(10));
    state.counters["core_percent"] = (ProcessUsage::Now().Cpu() - cpu) / 10 * 100;
  }
  DestroyThread();
  FreeDll();
}
BENCHMARK(BM_IdlePoolCpu10s)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Resident memory after 100 messages and after 10,000; the target is growth under 1 MB.
void BM_ResidentMemory(benchmark::State& state) {
  StartSandbox();
  InitDLL("demo", "demo-key");
  CreateThreadDll();
  StartSMS();
  for (auto _ : state) {
    SendBatch(100);
    long after100 = ResidentKilobytes();
    for (int i = 0; i < 99; ++i) SendBatch(100);
    long after10000 = ResidentKilobytes();
    state.counters["rss_kb_after_100"] = static_cast<double>(after100);
    state.counters["rss_kb_after_10000"] = static_cast<double>(after10000);
    state.counters["growth_kb"] = static_cast<double>(after10000 - after100);
  }
  DestroyThread();
  FreeDll();
}
BENCHMARK(BM_ResidentMemory)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

// The clients' repetitions run interleaved at random (a later flag on the command line may say
// otherwise); the targets are figured after all of them.
int main(int argc, char** argv) {
  static char interleave[] = "--benchmark_enable_random_interleaving=true";
  std::vector<char*> args(argv, argv + argc);
  args.insert(args.begin() + 1, interleave);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  benchmark::RunSpecifiedBenchmarks();
  PrintSendTargets();
  PrintBatchTargets();
  benchmark::Shutdown();
  return 0;
}
