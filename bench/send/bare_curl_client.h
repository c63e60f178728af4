// A floor for the sending benchmark: the same calls made straight through libcurl, with
// nothing of the library around them.
#ifndef NORVOSMS_BENCH_SEND_BARE_CURL_CLIENT_H
#define NORVOSMS_BENCH_SEND_BARE_CURL_CLIENT_H

#include <string>

#include "process_usage.h"

struct BareCurlRun : MeasuredRun {
  bool ok = false;
};

class NotificationWindow;

// `count` SMS.send calls on three threads, each keeping one connection, the body handed to
// libcurl whole (its cheapest path). With a window, each answer is also notified to it as the
// library's workers do (and an "end" after the last), while the calling thread pumps it.
BareCurlRun RunBareCurlClient(const std::string& url, const std::string& caFile, int count,
                              NotificationWindow* window = nullptr);

#endif  // NORVOSMS_BENCH_SEND_BARE_CURL_CLIENT_H
