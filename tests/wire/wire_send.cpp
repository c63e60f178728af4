#include "tests/wire/wire_send.h"

#include <windows.h>

#include <algorithm>
#include <chrono>

#include "api/NorvoSMS.h"

namespace {

std::vector<std::string> g_notes;

LRESULT CALLBACK NoteProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COPYDATA) {
    auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    g_notes.emplace_back(data->cbData == 90 ? static_cast<const char*>(data->lpData) : "(block not 90 bytes)");
    return 1;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND NoteWindow() {
  static HWND hwnd = [] {
    WNDCLASSA cls{};
    cls.lpfnWndProc = NoteProc;
    cls.lpszClassName = "WireSendNotes";
    RegisterClassA(&cls);
    return CreateWindowExA(0, "WireSendNotes", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  }();
  return hwnd;
}

bool Answered() {
  bool end = std::count(g_notes.begin(), g_notes.end(), "end") > 0;
  bool error = std::count(g_notes.begin(), g_notes.end(), "error") > 0;
  return error || (end && g_notes.size() >= 2);
}

}  // namespace

std::string SendOneAndCollect(bool lms, const std::vector<std::string>& a) {
  g_notes.clear();
  if (lms) {
    SendLMS(NoteWindow(), a[0], a[1], a[2], a[3], a[4], a[5], 1, a[6]);
  } else {
    SendSMS(NoteWindow(), a[0], a[1], a[2], a[3], a[4], 1, a[5]);
  }
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (!Answered() && std::chrono::steady_clock::now() < until) {
    MSG msg;
    while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(1);
  }
  StopSMS();  // the workers' last notifications are served while it waits
  std::sort(g_notes.begin(), g_notes.end());
  std::string joined;
  for (const std::string& note : g_notes) joined += (joined.empty() ? "" : " ") + note;
  return joined;
}
