// The part of every message's cost that the exports' contract itself asks for: a worker hands
// the caller's window its WM_COPYDATA text and waits until the window has taken it.
#ifndef NORVOSMS_BENCH_SEND_NOTIFICATION_FLOOR_H
#define NORVOSMS_BENCH_SEND_NOTIFICATION_FLOOR_H

#include <windows.h>

#include <cstddef>
#include <string>

#include "process_usage.h"

class NotificationWindow;

// One worker's notification, as the library sends it: WM_COPYDATA with the text and its NUL,
// returning once the window procedure has taken it.
void NotifyCaller(HWND window, const std::string& text);

// Pumps `window` on the calling thread, blocking as a caller's message loop does, until "end"
// and at least `notes` notifications in all have arrived. Only the notes new since the last
// look are searched, so the caller's own share stays what a real caller's would be.
void PumpBlockingUntilEnd(NotificationWindow& window, std::size_t notes = 0);

// `count` numbered notifications and an "end", sent from three threads as the library's workers
// send them, while the calling thread pumps `window` as a caller's message loop does.
MeasuredRun RunNotificationFloor(NotificationWindow& window, int count);

#endif  // NORVOSMS_BENCH_SEND_NOTIFICATION_FLOOR_H
