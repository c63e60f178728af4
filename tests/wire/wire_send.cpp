#include "tests/wire/wire_send.h"

#include <windows.h>

#include <algorithm>
#include <chrono>

#include "api/NorvoSMS.h"
#include "cli/notification_window.h"

namespace {

// Notification texts, a block of the wrong size shown as such.
std::vector<std::string> Received(const NotificationWindow& window) {
  std::vector<std::string> notes = window.Notes();
  for (std::size_t i = 0; i < notes.size(); ++i) {
    if (window.BlockSizes()[i] != 90) notes[i] = "(block not 90 bytes)";
  }
  return notes;
}

bool Answered(const std::vector<std::string>& notes) {
  bool end = std::count(notes.begin(), notes.end(), "end") > 0;
  bool error = std::count(notes.begin(), notes.end(), "error") > 0;
  return error || (end && notes.size() >= 2);
}

}  // namespace

std::string SendOneAndCollect(bool lms, const std::vector<std::string>& a) {
  // One window for every case, never destroyed: a late notification still finds it.
  static NotificationWindow* window = new NotificationWindow;
  window->Take();
  if (lms) {
    SendLMS(window->Handle(), a[0], a[1], a[2], a[3], a[4], a[5], 1, a[6]);
  } else {
    SendSMS(window->Handle(), a[0], a[1], a[2], a[3], a[4], 1, a[5]);
  }
  window->PumpUntil([] { return Answered(Received(*window)); }, std::chrono::seconds(3));
  StopSMS();  // the workers' last notifications are served while it waits
  std::vector<std::string> notes = Received(*window);
  std::sort(notes.begin(), notes.end());
  std::string joined;
  for (const std::string& note : notes) joined += (joined.empty() ? "" : " ") + note;
  return joined;
}
