// What the sending benchmarks of one run share: the sandbox they send to (started on first use,
// stopped at exit) and the library's own figures, which the others are held against.
#ifndef NORVOSMS_BENCH_SEND_SEND_RUN_H
#define NORVOSMS_BENCH_SEND_SEND_RUN_H

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

// Every client is repeated this often, the repetitions of all interleaved at random.
constexpr int kRepetitions = 5;

// One run per iteration, repeated for the medians, in wall-clock milliseconds.
inline void Repeated(benchmark::internal::Benchmark* b) {
  b->Iterations(1)->Repetitions(kRepetitions)->Unit(benchmark::kMillisecond)->UseRealTime();
}

// The sandbox's API address, or the same through the 10 ms relay.
std::string ApiUrl(bool relayed);
// A value of the sandbox's ready file ("ca_file", "control_url").
std::string SandboxValue(const std::string& name);
// Runs a shell command and returns its standard output.
std::string Run(const std::string& command);

// 0 when there is no figure.
double Median(std::vector<double> values);
// The median of the library's messages per second so far in this run, direct or relayed.
double LibraryMsgsPerS(bool relayed);

// The batch benchmark's targets against the library's figures, printed after the run.
void PrintBatchTargets();

#endif  // NORVOSMS_BENCH_SEND_SEND_RUN_H
