// A status list of arbitrary bytes: read within its bounds, or refused with a reason; what is
// read holds no value longer than the bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "batch/status_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<StatusEntry> entries;
  std::string problem;
  const bool read = ReadStatusEntries(text, entries, problem);
  if (read != problem.empty()) std::abort();
  if (!read && !entries.empty() && problem.empty()) std::abort();
  for (const StatusEntry& e : entries) {
    for (const std::string* value : {&e.phone, &e.kind, &e.status, &e.code, &e.sentAt})
      if (value->size() > kMaxStatusValueBytes) std::abort();
  }
  return 0;
}
