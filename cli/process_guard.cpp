#include "cli/process_guard.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstring>

namespace {

volatile sig_atomic_t g_stopSignal = 0;

void OnStopSignal(int signal) {
  if (g_stopSignal != 0) _exit(128 + signal);  // the journal is consistent after every commit
  g_stopSignal = signal;
}

}  // namespace

void DisableCoreDumps() {
  rlimit none{0, 0};
  setrlimit(RLIMIT_CORE, &none);
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

void HideArgument(char* argument) {
  if (argument != nullptr) std::memset(argument, 'x', std::strlen(argument));
}

void CatchStopSignals() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int StopRequested() { return g_stopSignal; }
