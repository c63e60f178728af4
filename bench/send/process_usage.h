// This process's CPU time, user and system apart, and its context switches: what the sending
// benchmarks count as a client's cost.
#ifndef NORVOSMS_BENCH_SEND_PROCESS_USAGE_H
#define NORVOSMS_BENCH_SEND_PROCESS_USAGE_H

#include <sys/resource.h>

#include <chrono>

struct ProcessUsage {
  double user = 0, system = 0, switches = 0;
  double preempted = 0;  // the part of the switches that were not waits: the machine took the CPU
  double faults = 0;     // minor page faults: memory the kernel had to hand over

  double Cpu() const { return user + system; }

  // What was used between `earlier` and this.
  ProcessUsage operator-(const ProcessUsage& earlier) const {
    return {user - earlier.user, system - earlier.system, switches - earlier.switches, preempted - earlier.preempted,
            faults - earlier.faults};
  }

  static ProcessUsage Now() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    ProcessUsage u;
    u.user = static_cast<double>(r.ru_utime.tv_sec) + static_cast<double>(r.ru_utime.tv_usec) / 1e6;
    u.system = static_cast<double>(r.ru_stime.tv_sec) + static_cast<double>(r.ru_stime.tv_usec) / 1e6;
    u.switches = static_cast<double>(r.ru_nvcsw + r.ru_nivcsw);
    u.preempted = static_cast<double>(r.ru_nivcsw);
    u.faults = static_cast<double>(r.ru_minflt);
    return u;
  }
};

// One measured run: its wall clock and what the process used meanwhile.
struct MeasuredRun {
  double seconds = 0;
  ProcessUsage used;
};

template <typename Work>
MeasuredRun Measure(Work&& work) {
  const auto start = std::chrono::steady_clock::now();
  const ProcessUsage before = ProcessUsage::Now();
  work();
  MeasuredRun run;
  run.used = ProcessUsage::Now() - before;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return run;
}

#endif  // NORVOSMS_BENCH_SEND_PROCESS_USAGE_H
