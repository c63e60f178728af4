// A recipients file of arbitrary bytes: read within its bounds, every recipient checked and
// every fault described; the same bytes through the terminal filter leave no control byte.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "batch/batch_input.h"
#include "cli/terminal_output.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
  if (file == nullptr) return 0;
  std::vector<RecipientLine> recipients;
  std::vector<InputFault> faults;
  ReadRecipients(file, recipients, faults);
  std::fclose(file);
  CheckRecipients(recipients, faults);
  DescribeFaults("f", faults);
  MessageFields fields{std::string(reinterpret_cast<const char*>(data), size > 20 ? 20 : size), "",
                       std::string(reinterpret_cast<const char*>(data), size), ""};
  CheckMessageFields(fields, faults);
  IsReservation(std::string(reinterpret_cast<const char*>(data), size));

  const std::string safe = TerminalSafe(std::string(reinterpret_cast<const char*>(data), size));
  for (std::size_t i = 0; i < safe.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(safe[i]);
    bool c1 = c == 0xC2 && i + 1 < safe.size() && static_cast<unsigned char>(safe[i + 1]) >= 0x80 &&
              static_cast<unsigned char>(safe[i + 1]) <= 0x9F;
    if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F || c1) std::abort();
  }
  return 0;
}
