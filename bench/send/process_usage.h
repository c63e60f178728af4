// This process's CPU time, user and system apart, and its context switches: what the sending
// benchmarks count as a client's cost.
#ifndef NORVOSMS_BENCH_SEND_PROCESS_USAGE_H
#define NORVOSMS_BENCH_SEND_PROCESS_USAGE_H

#include <sys/resource.h>

struct ProcessUsage {
  double user = 0, system = 0, switches = 0;
  double preempted = 0;  // the part of the switches that were not waits: the machine took the CPU
  double faults = 0;     // minor page faults: memory the kernel had to hand over

  double Cpu() const { return user + system; }

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

#endif  // NORVOSMS_BENCH_SEND_PROCESS_USAGE_H
