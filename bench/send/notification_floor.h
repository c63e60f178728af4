// The part of every message's cost that the exports' contract itself asks for: a worker hands
// the caller's window its WM_COPYDATA text and waits until the window has taken it.
#ifndef NORVOSMS_BENCH_SEND_NOTIFICATION_FLOOR_H
#define NORVOSMS_BENCH_SEND_NOTIFICATION_FLOOR_H

#include "process_usage.h"

class NotificationWindow;

struct NotificationRun {
  double seconds = 0;  // wall clock
  ProcessUsage used;   // this process's CPU and switches over the run
};

// `count` numbered notifications and an "end", sent from three threads as the library's workers
// send them, while the calling thread pumps `window` as a caller's message loop does.
NotificationRun RunNotificationFloor(NotificationWindow& window, int count);

#endif  // NORVOSMS_BENCH_SEND_NOTIFICATION_FLOOR_H
