#include "api/send_notification.h"

#include <algorithm>
#include <cstring>

void SendNotification(HWND hWnd, const std::string& text) {
  char block[kNotificationBytes] = {};
  std::memcpy(block, text.data(), std::min<std::size_t>(text.size(), kNotificationBytes - 1));
  COPYDATASTRUCT data{0, kNotificationBytes, block};
  SendMessageA(hWnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}
