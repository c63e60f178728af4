// Reads the service's status entries for one reference key, as GetStatusByRef_All returns them:
// "<entries><entry><phone/><kind/><status/><code/><sent_at/></entry>...</entries>", written by
// the library's XML writer (CR LF and TAB indents, entity-encoded values). The text comes from
// the service, so the reader is strict and bounded: anything else is refused, never guessed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The service lists at most this many entries for one key: a list that long may be cut short.
constexpr std::size_t kStatusListLimit = 1000;
// Texts longer than this are refused unread.
constexpr std::size_t kMaxStatusTextBytes = 8u * 1024 * 1024;
// Values longer than this are refused.
constexpr std::size_t kMaxStatusValueBytes = 4096;

struct StatusEntry {
  std::string phone;
  std::string kind;
  std::string status;
  std::string code;
  std::string sentAt;
};

// False, with `problem` set, when the text is not such a list.
bool ReadStatusEntries(const std::string& text, std::vector<StatusEntry>& entries, std::string& problem);
