// One queued message, owned by the send queue and then by the worker that takes it.
#pragma once

#include <string>

struct MessageRecord {
  std::string phone;
  std::string callback;
  std::string message;
  std::string reserve;  // ":00" is appended when the message is sent
  std::string ref_key;
  std::string usears;
  std::string subject;  // empty for an SMS
};
